uinst_benchmark(looks_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/looks_bench.cpp LIBS uinst_label_markup uinst_skin)
