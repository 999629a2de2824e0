// Feeds arbitrary bytes to the BMP reader. It must never crash or read
// outside the input; a picture it accepts is 24-bit RGB of its own size.

#include "platform/RecordingPrompt.h"
#include "textures/DibReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::DibReader reader(prompt);
    reader.setPixelLimit(1 << 20);
    auto image = reader.readDibMemory(data, size);
    if (image) {
        if (image->bytesPerPixel != 3 || image->width < 1 || image->height < 1) std::abort();
        if (image->pixels.size() != image->rowBytes() * image->height) std::abort();
        if (!prompt.messages().empty()) std::abort();
    } else if (prompt.messages().size() != 1 || prompt.messages()[0].caption != "Error") {
        std::abort();
    }
    return 0;
}
