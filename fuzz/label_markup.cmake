# The markup of formatted labels.
uinst_fuzzer(label_markup_fuzz SOURCES label_markup_fuzz.cpp LIBS uinst_label_markup)
