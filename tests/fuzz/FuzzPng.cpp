// Arbitrary bytes into the PNG reader, which must not allocate beyond the limit.

#include "PictureChecks.h"
#include "textures/PngReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::PngReader reader(prompt, [](std::string_view) {});
    reader.setPixelLimit(1 << 20);
    checkPictureOutcome(reader.readPngMemory(data, size, "fuzz.png"), prompt);
    return 0;
}
