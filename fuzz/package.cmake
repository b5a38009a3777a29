# The package reader: header, cipher, coder, checksum, file table and extraction.
uinst_fuzzer(package_reader_fuzz SOURCES package_reader_fuzz.cpp LIBS uinst_package uinst_lzma)
if(UINST_FUZZ)
    # The reader lives in the library: without coverage there the fuzzer would search blind, and
    # without the address sanitizer it would miss reads outside the input.
    target_compile_options(uinst_package PRIVATE -fsanitize=fuzzer-no-link,address)
    target_link_options(uinst_package INTERFACE -fsanitize=address)
endif()
