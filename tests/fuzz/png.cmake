# The PNG reader's harness: reads pictures from memory only.
find_package(PNG REQUIRED)

velmora_fuzzer(fuzz_png SOURCES FuzzPng.cpp ${SRC}/textures/PngReader.cpp ${VELMORA_FUZZ_PLATFORM_SOURCES}
               LIBS PNG::PNG)
