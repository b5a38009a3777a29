# INI files and language files.
add_library(uinst_ini STATIC ini_file.cpp localization.cpp)
target_link_libraries(uinst_ini PUBLIC uinst_base)
if(UINST_FUZZ)
    # Coverage feedback for the fuzz targets that link it.
    target_compile_options(uinst_ini PRIVATE -fsanitize=fuzzer-no-link,address)
endif()

uinst_test(ini_test SOURCES ini_file_test.cpp localization_test.cpp LIBS uinst_ini)
