# Extraction against a plain writer of the same bytes: a self-timing Windows program (no Google
# Benchmark for Windows here), run by hand under Wine. Not a ctest entry.
if(WIN32 AND TARGET uinst_engine)
    add_executable(extract_bench ${CMAKE_CURRENT_SOURCE_DIR}/extract_bench.cpp)
    target_link_libraries(extract_bench PRIVATE uinst_engine_testing)
endif()

# Start of the setup program to its first window, for the demo and a large product.
if(WIN32 AND TARGET uinst_package)
    add_executable(first_window_bench ${CMAKE_CURRENT_SOURCE_DIR}/first_window_bench.cpp)
    target_link_libraries(first_window_bench PRIVATE uinst_package uinst_platform)
    target_link_options(first_window_bench PRIVATE -municode)
endif()
