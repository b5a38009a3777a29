# Third-party libraries. On the host they are Debian's -dev packages; for Windows, zlib comes from
# Debian's mingw package, liblzma and libzip from the bootstrap cache (static), GoogleTest from the
# sources Debian's googletest package installs.
find_package(Threads REQUIRED)

if(WIN32)
    find_library(LZMA_LIB NAMES liblzma.a lzma REQUIRED)
    find_path(LZMA_INCLUDE lzma.h REQUIRED)
    add_library(uinst_lzma INTERFACE)
    target_link_libraries(uinst_lzma INTERFACE ${LZMA_LIB})
    target_include_directories(uinst_lzma SYSTEM INTERFACE ${LZMA_INCLUDE})
    target_compile_definitions(uinst_lzma INTERFACE LZMA_API_STATIC)

    find_library(ZLIB_LIB NAMES libz.a z REQUIRED)
    find_library(ZIP_LIB NAMES libzip.a zip REQUIRED)
    find_path(ZIP_INCLUDE zip.h REQUIRED)
    add_library(uinst_zip INTERFACE)
    target_link_libraries(uinst_zip INTERFACE ${ZIP_LIB} ${ZLIB_LIB} bcrypt advapi32)
    # zipconf.h of the static build defines ZIP_STATIC itself.
    target_include_directories(uinst_zip SYSTEM INTERFACE ${ZIP_INCLUDE})

    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    add_library(uinst_gtest_main INTERFACE)
    target_link_libraries(uinst_gtest_main INTERFACE gmock gtest_main)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LZMA REQUIRED IMPORTED_TARGET liblzma)
    pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
    add_library(uinst_lzma INTERFACE)
    target_link_libraries(uinst_lzma INTERFACE PkgConfig::LZMA)
    add_library(uinst_zip INTERFACE)
    target_link_libraries(uinst_zip INTERFACE PkgConfig::LIBZIP)

    if(UINST_HOST_TOOLS_ONLY)
        return()
    endif()
    find_package(GTest REQUIRED)
    add_library(uinst_gtest_main INTERFACE)
    target_link_libraries(uinst_gtest_main INTERFACE GTest::gmock GTest::gtest_main Threads::Threads)
    find_package(benchmark QUIET)
endif()
