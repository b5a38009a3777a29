# Skins: the object stream, the resource collection and the texture pictures.
uinst_fuzzer(skin_fuzz SOURCES skin_fuzz.cpp LIBS uinst_skin)
