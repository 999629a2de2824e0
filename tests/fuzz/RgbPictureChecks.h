#pragma once
// A picture reader's promise on any input: a 3-byte RGB picture of its own
// size and no message, or exactly one "Error" box. Breaking it aborts.

#include "platform/RecordingPrompt.h"
#include "textures/TextureImage.h"

#include <cstdlib>
#include <optional>

inline void checkRgbPictureOutcome(const std::optional<velmora::TextureImage>& image,
                                   const velmora::RecordingPrompt& prompt) {
    if (image) {
        if (image->bytesPerPixel != 3 || image->width < 1 || image->height < 1) std::abort();
        if (image->pixels.size() != image->rowBytes() * image->height) std::abort();
        if (!prompt.messages().empty()) std::abort();
    } else if (prompt.messages().size() != 1 || prompt.messages()[0].caption != "Error") {
        std::abort();
    }
}
