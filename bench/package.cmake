uinst_benchmark(package_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/package_bench.cpp LIBS uinst_package uinst_lzma)
