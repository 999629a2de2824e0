#pragma once
// Turns the texture files that materials name into OpenGL texture objects:
// the reader is chosen by the name's ending (JPG, BMP, TGA, PNG, in any
// letter case), every failure is reported to the person, and the model loads on
// without the texture. Runs with the model's OpenGL context current.

#include "model/TextureFactory.h"
#include "platform/Diagnostics.h"
#include "textures/TextureImage.h"

#include <string>

namespace velmora {

class Prompt;

enum class TextureReader { None, Jpeg, Bmp, Tga, Png };

// The reader for a file name: its last three characters compared, ignoring
// case, with "JPG", "BMP", "TGA" and "PNG". Anything else (and names shorter than
// three characters) has none.
TextureReader textureReaderFor(const std::string& textureFile);

// The state every loaded texture gets: modulate, repeat, nearest filtering,
// and tightly packed unpacking.
void setTextureState();

// Whether the implementation can hold an RGB picture of this size, asked
// through the proxy texture. A proxy call that raises an error, or answers
// with any width other than `width`, counts as a refusal.
bool proxyTextureAccepts(int width, int height);

class TextureManager {
public:
    // `diagnostics` receives the JPEG library's texts; without one they go
    // to standard error.
    explicit TextureManager(Prompt& prompt, Diagnostics diagnostics = {});

    // A new texture object holding the picture `textureFile` names, looked
    // up as findTextureFile does. 0 when the name is empty or the picture
    // could not be loaded (the messages have then been shown, the last one
    // being the file name in the application's box). A name with an ending
    // no reader takes gets an empty texture object and no message.
    unsigned createTexture(const std::string& textureFile, const std::string& modelPath);

    // createTexture, for the mesh model.
    TextureFactory factory();

    // Each loads the picture at `path` into the texture object `textureId`
    // and returns true, or shows its messages and returns false.
    bool loadTgaTexture(const std::string& path, unsigned textureId);
    bool loadBmpTexture(const std::string& path, unsigned textureId);
    bool loadJpegTexture(const std::string& path, unsigned textureId);
    bool loadPngTexture(const std::string& path, unsigned textureId);

private:
    bool uploadRgb(const TextureImage& image, unsigned textureId, const char* sizeMessage,
                   const std::string& path);

    Prompt& prompt_;
    Diagnostics diagnostics_;
};

}  // namespace velmora
