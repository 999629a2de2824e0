# The texture readers' harnesses: each reads pictures from memory only.
find_package(JPEG REQUIRED)

velmora_fuzzer(fuzz_tga SOURCES FuzzTga.cpp ${SRC}/textures/TgaReader.cpp ${VELMORA_FUZZ_PLATFORM_SOURCES}
               LIBS GL GLU)
velmora_fuzzer(fuzz_bmp SOURCES FuzzBmp.cpp ${SRC}/textures/DibReader.cpp ${VELMORA_FUZZ_PLATFORM_SOURCES})
velmora_fuzzer(fuzz_jpeg SOURCES FuzzJpeg.cpp ${SRC}/textures/JpegDecoder.cpp ${VELMORA_FUZZ_PLATFORM_SOURCES}
               LIBS JPEG::JPEG)
