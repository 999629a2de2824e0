// Arbitrary bytes into the BMP reader (the promises: PictureChecks.h).

#include "PictureChecks.h"
#include "textures/DibReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::DibReader reader(prompt);
    reader.setPixelLimit(1 << 20);
    checkPictureOutcome(reader.readDibMemory(data, size), prompt);
    return 0;
}
