// Feeds arbitrary bytes to the PNG reader. Undecodable data must come back as
// a refusal with one message, never crash or allocate beyond the size limit;
// a picture it accepts is 3-byte RGB of its own size.

#include "platform/RecordingPrompt.h"
#include "textures/PngReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::PngReader reader(prompt, [](std::string_view) {});
    reader.setPixelLimit(1 << 20);
    auto image = reader.readPngMemory(data, size, "fuzz.png");
    if (image) {
        if (image->bytesPerPixel != 3 || image->width < 1 || image->height < 1) std::abort();
        if (image->pixels.size() != image->rowBytes() * image->height) std::abort();
        if (!prompt.messages().empty()) std::abort();
    } else if (prompt.messages().size() != 1 || prompt.messages()[0].caption != "Error") {
        std::abort();
    }
    return 0;
}
