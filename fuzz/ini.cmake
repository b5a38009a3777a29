# The INI reader: decoding, parsing, saving and the name lookups.
uinst_fuzzer(ini_fuzz SOURCES ini_fuzz.cpp LIBS uinst_ini)
