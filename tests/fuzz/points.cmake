# The point-file readers' harness: parses from memory only.
velmora_fuzzer(fuzz_points SOURCES FuzzPointFile.cpp ${VELMORA_FUZZ_POINTFILE_SOURCES})
