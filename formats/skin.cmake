# Skins: the tagged object stream, the resource collection and the texture pictures.
add_library(uinst_skin STATIC
    ${CMAKE_CURRENT_LIST_DIR}/skin_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_texture.cpp)
target_link_libraries(uinst_skin PUBLIC uinst_base PRIVATE uinst_zlib)

uinst_test(skin_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/skin_stream_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/skin_test.cpp
    LIBS uinst_skin)
