# The whole hologram job's harness: points read from memory, computed on a
# small grid and written with the preview to a temporary folder.
find_package(PNG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
find_library(FFTW3F_THREADS fftw3f_threads REQUIRED)
find_package(Threads REQUIRED)

set(H ${SRC}/hologram)
velmora_fuzzer(fuzz_hologram SOURCES FuzzHologram.cpp ${SRC}/pointfile/PointFileReader.cpp ${H}/HologramComputer.cpp
               ${H}/PointKernel.cpp ${H}/NearZoneTable.cpp ${H}/RecordingLayers.cpp ${H}/FourierTransform.cpp
               ${H}/BandLimitedPropagator.cpp
               ${H}/HologramOutputs.cpp ${H}/StoredPng.cpp ${H}/LargeAllocator.cpp
               ${H}/HologramEncoding.cpp ${H}/FieldFilter.cpp ${H}/PhaseLevels.cpp ${H}/PhaseLut.cpp
               ${VELMORA_FUZZ_PLATFORM_SOURCES}
               LIBS ${FFTW3F_THREADS} PkgConfig::FFTW3F PNG::PNG Threads::Threads)

# The measured phase tables' reader, from memory, and the lookup they feed.
velmora_fuzzer(fuzz_phase_lut SOURCES FuzzPhaseLut.cpp ${H}/PhaseLut.cpp ${H}/PhaseLevels.cpp ${H}/HologramEncoding.cpp
               ${H}/FieldFilter.cpp ${H}/HologramOutputs.cpp ${H}/BandLimitedPropagator.cpp ${H}/FourierTransform.cpp
               ${H}/HologramComputer.cpp ${H}/PointKernel.cpp ${H}/NearZoneTable.cpp ${H}/RecordingLayers.cpp
               ${H}/StoredPng.cpp ${H}/LargeAllocator.cpp
               ${VELMORA_FUZZ_PLATFORM_SOURCES}
               LIBS ${FFTW3F_THREADS} PkgConfig::FFTW3F PNG::PNG Threads::Threads)
