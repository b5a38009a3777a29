# The markup of formatted labels.
add_library(uinst_label_markup STATIC ${CMAKE_CURRENT_LIST_DIR}/label_markup.cpp)
target_link_libraries(uinst_label_markup PUBLIC uinst_base)

uinst_test(label_markup_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/label_markup_test.cpp LIBS uinst_label_markup)
