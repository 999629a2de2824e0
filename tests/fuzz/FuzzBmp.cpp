// Arbitrary bytes into the BMP reader (the promises: RgbPictureChecks.h).

#include "RgbPictureChecks.h"
#include "textures/DibReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::DibReader reader(prompt);
    reader.setPixelLimit(1 << 20);
    checkRgbPictureOutcome(reader.readDibMemory(data, size), prompt);
    return 0;
}
