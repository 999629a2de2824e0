// Arbitrary bytes into the TGA reader, with and without the greyscale option: a picture of any format, or the
// framework's box.

#include "PictureChecks.h"
#include "textures/TgaReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::TgaReader reader(prompt);
    reader.setPixelLimit(1 << 20);  // keeps each run fast; larger sizes take the refusal path
    for (unsigned options : {0u, velmora::tgaOptions::greyAsLuminance}) {
        prompt.clear();
        checkPictureOutcome(reader.readTgaMemory(data, size, "fuzz.tga", options), prompt, 0, std::nullopt);
    }
    return 0;
}
