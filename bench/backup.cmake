# The backup archive writer on a generated installation, against Info-ZIP's zip (bench/backup-bench
# runs both): a self-timing Windows program, run by hand under Wine. Not a ctest entry.
if(WIN32 AND TARGET uinst_product)
    add_executable(backup_bench ${CMAKE_CURRENT_SOURCE_DIR}/backup_bench.cpp)
    target_link_libraries(backup_bench PRIVATE uinst_product shell32)
endif()
