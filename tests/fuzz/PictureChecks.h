#pragma once
// A picture reader's promise on any input: a picture of its own size within the 2^20 pixels the harnesses allow
// (`bytesPerPixel` to a pixel, 0 for any) and no message, or exactly one box (captioned `caption`, if given).
// Breaking it aborts.

#include "platform/RecordingPrompt.h"
#include "textures/TextureImage.h"

#include <cstdlib>
#include <optional>
#include <string>

inline void checkPictureOutcome(const std::optional<velmora::TextureImage>& image,
                                   const velmora::RecordingPrompt& prompt, int bytesPerPixel = 3,
                                   const std::optional<std::string>& caption = "Error") {
    if (image) {
        if ((bytesPerPixel && image->bytesPerPixel != bytesPerPixel) || image->width < 1 || image->height < 1) std::abort();
        if (image->width * image->height > (1 << 20) || image->pixels.size() != image->rowBytes() * image->height)
            std::abort();
        if (!prompt.messages().empty()) std::abort();
    } else if (prompt.messages().size() != 1 || (caption && prompt.messages()[0].caption != *caption)) {
        std::abort();
    }
}
