# The XML readers: text (in its three decoding modes), "SXML" and "BXML".
uinst_fuzzer(xml_text_fuzz SOURCES xml_text_fuzz.cpp LIBS uinst_xml)
uinst_fuzzer(sxml_fuzz SOURCES sxml_fuzz.cpp LIBS uinst_xml)
uinst_fuzzer(bxml_fuzz SOURCES bxml_fuzz.cpp LIBS uinst_xml)
if(UINST_FUZZ)
    # The readers live in the library: without coverage there the fuzzer would search blind, and
    # without the address sanitizer it would miss reads outside the input.
    target_compile_options(uinst_xml PRIVATE -fsanitize=fuzzer-no-link,address)
    target_link_options(uinst_xml INTERFACE -fsanitize=address)
endif()
