// Feeds arbitrary bytes to the JPEG decoder. Undecodable data must come back
// as a refusal with one message, never end the program or crash; a picture it
// accepts is 3-byte RGB of its own size.

#include "RgbPictureChecks.h"
#include "textures/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::JpegDecoder decoder(prompt, [](std::string_view) {});
    decoder.setPixelLimit(1 << 20);
    checkRgbPictureOutcome(decoder.decodeJpegMemory(data, size, "fuzz.jpg"), prompt);
    return 0;
}
