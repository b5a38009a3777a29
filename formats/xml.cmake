# XML documents: the node tree, the text form and the binary forms "SXML" and "BXML".
add_library(uinst_xml STATIC
    ${CMAKE_CURRENT_LIST_DIR}/xml_node.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_helper.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_binary.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_document.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_convert.cpp)
target_link_libraries(uinst_xml PUBLIC uinst_base)

uinst_test(xml_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/xml_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/xml_text_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/xml_binary_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/xml_convert_test.cpp
    LIBS uinst_xml)
