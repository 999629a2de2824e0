// Feeds arbitrary bytes to the PNG reader. Undecodable data must come back as
// a refusal with one message, never crash or allocate beyond the size limit;
// a picture it accepts is 3-byte RGB of its own size.

#include "RgbPictureChecks.h"
#include "textures/PngReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::PngReader reader(prompt, [](std::string_view) {});
    reader.setPixelLimit(1 << 20);
    checkRgbPictureOutcome(reader.readPngMemory(data, size, "fuzz.png"), prompt);
    return 0;
}
