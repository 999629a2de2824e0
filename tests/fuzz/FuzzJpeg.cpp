// Feeds arbitrary bytes to the JPEG decoder. Undecodable data must come back
// as a refusal with one message, never end the program or crash; a picture it
// accepts is 3-byte RGB of its own size.

#include "platform/RecordingPrompt.h"
#include "textures/JpegDecoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::JpegDecoder decoder(prompt, [](std::string_view) {});
    decoder.setPixelLimit(1 << 20);
    auto image = decoder.decodeJpegMemory(data, size, "fuzz.jpg");
    if (image) {
        if (image->bytesPerPixel != 3 || image->width < 1 || image->height < 1) std::abort();
        if (image->pixels.size() != image->rowBytes() * image->height) std::abort();
        if (!prompt.messages().empty()) std::abort();
    } else if (prompt.messages().size() != 1 || prompt.messages()[0].caption != "Error") {
        std::abort();
    }
    return 0;
}
