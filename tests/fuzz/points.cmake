# The point-file readers' harness: parses from memory only.
velmora_fuzzer(fuzz_points SOURCES FuzzPointFile.cpp ${SRC}/pointfile/PointFileReader.cpp ${VELMORA_FUZZ_PLATFORM_SOURCES})
