// Arbitrary bytes into the TGA reader, with and without the greyscale option.

#include "platform/RecordingPrompt.h"
#include "textures/TgaReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::TgaReader reader(prompt);
    reader.setPixelLimit(1 << 20);  // keeps each run fast; larger sizes take the refusal path
    for (unsigned options : {0u, velmora::tgaOptions::greyAsLuminance}) {
        prompt.clear();
        auto image = reader.readTgaMemory(data, size, "fuzz.tga", options);
        if (image) {
            if (image->width < 1 || image->height < 1 || image->width * image->height > (1 << 20)) std::abort();
            if (image->pixels.size() != image->rowBytes() * image->height) std::abort();
            if (!prompt.messages().empty()) std::abort();
        } else if (prompt.messages().size() != 1) {
            std::abort();
        }
    }
    return 0;
}
