#include "textures/TextureManager.h"

#include "platform/NameSuffix.h"
#include "platform/Prompt.h"
#include "textures/DibReader.h"
#include "textures/JpegDecoder.h"
#include "textures/PngReader.h"
#include "textures/TexturePath.h"
#include "textures/TgaReader.h"

#include <GL/gl.h>

#include <cstdio>

namespace velmora {

namespace {

void writeToStandardError(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

// Drops errors raised before a check so they are not taken for its own.
// Bounded: an implementation without a context may answer forever.
bool drainGlErrors() {
    bool any = false;
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) any = true;
    return any;
}

}  // namespace

TextureReader textureReaderFor(const std::string& textureFile) {
    // The last three characters decide, with or without a dot before them.
    if (hasSuffixIgnoringCase(textureFile, "JPG")) return TextureReader::Jpeg;
    if (hasSuffixIgnoringCase(textureFile, "BMP")) return TextureReader::Bmp;
    if (hasSuffixIgnoringCase(textureFile, "TGA")) return TextureReader::Tga;
    if (hasSuffixIgnoringCase(textureFile, "PNG")) return TextureReader::Png;
    return TextureReader::None;
}

void setTextureState() {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

bool proxyTextureAccepts(int width, int height) {
    drainGlErrors();
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    GLint proxyWidth = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &proxyWidth);
    const bool failed = drainGlErrors();
    return !failed && proxyWidth != 0 && proxyWidth == width;
}

TextureManager::TextureManager(Prompt& prompt, Diagnostics diagnostics)
    : prompt_(prompt), diagnostics_(diagnostics ? std::move(diagnostics) : Diagnostics(writeToStandardError)) {}

unsigned TextureManager::createTexture(const std::string& textureFile, const std::string& modelPath) {
    if (textureFile.empty()) return 0;
    GLuint textureId = 0;
    glGenTextures(1, &textureId);
    const TextureReader reader = textureReaderFor(textureFile);
    if (reader == TextureReader::None) return textureId;

    const std::string path = findTextureFile(textureFile, modelPath);
    bool loaded = false;
    switch (reader) {
        case TextureReader::Jpeg: loaded = loadJpegTexture(path, textureId); break;
        case TextureReader::Bmp: loaded = loadBmpTexture(path, textureId); break;
        case TextureReader::Tga: loaded = loadTgaTexture(path, textureId); break;
        case TextureReader::Png: loaded = loadPngTexture(path, textureId); break;
        case TextureReader::None: break;
    }
    if (loaded) return textureId;
    // Deleting also frees a name that was never bound, which glIsTexture
    // would not admit to.
    glDeleteTextures(1, &textureId);
    prompt_.show(textureFile);
    return 0;
}

TextureFactory TextureManager::factory() {
    return [this](const std::string& textureFile, const std::string& modelPath) {
        return createTexture(textureFile, modelPath);
    };
}

bool TextureManager::loadTgaTexture(const std::string& path, unsigned textureId) {
    glBindTexture(GL_TEXTURE_2D, textureId);
    TgaReader reader(prompt_);
    if (!reader.loadTga(path, 0)) return false;
    setTextureState();
    return true;
}

bool TextureManager::loadBmpTexture(const std::string& path, unsigned textureId) {
    DibReader reader(prompt_);
    auto image = reader.readDib(path);
    if (!image) return false;
    return uploadRgb(*image, textureId, "BMP Texture File: %s is too large, or texture dimensions are not a Power of 2",
                     path);
}

bool TextureManager::loadJpegTexture(const std::string& path, unsigned textureId) {
    JpegDecoder decoder(prompt_, diagnostics_);
    auto image = decoder.decodeJpeg(path);
    if (!image) return false;
    return uploadRgb(*image, textureId, "JPG Texture File: %s is too large, or texture dimensions are not a Power of 2",
                     path);
}

bool TextureManager::loadPngTexture(const std::string& path, unsigned textureId) {
    PngReader reader(prompt_, diagnostics_);
    auto image = reader.readPng(path);
    if (!image) return false;
    return uploadRgb(*image, textureId, "PNG Texture File: %s is too large, or texture dimensions are not a Power of 2",
                     path);
}

bool TextureManager::uploadRgb(const TextureImage& image, unsigned textureId, const char* sizeMessage,
                               const std::string& path) {
    if (!proxyTextureAccepts(image.width, image.height)) {
        prompt_.show(formatText(sizeMessage, path.c_str()));
        return false;
    }
    glBindTexture(GL_TEXTURE_2D, textureId);
    setTextureState();
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.pixels.data());
    return true;
}

}  // namespace velmora
