// Arbitrary bytes into the JPEG decoder, which must not end the program.

#include "PictureChecks.h"
#include "textures/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::JpegDecoder decoder(prompt, [](std::string_view) {});
    decoder.setPixelLimit(1 << 20);
    checkPictureOutcome(decoder.decodeJpegMemory(data, size, "fuzz.jpg"), prompt);
    return 0;
}
