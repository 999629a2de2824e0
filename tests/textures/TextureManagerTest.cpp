#include "textures/TextureManager.h"

#include "PictureWriters.h"
#include "model/MeshModel.h"
#include "model/ThreeDsReader.h"
#include "platform/FatalExit.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/TempDir.h"
#include "textures/TexturePath.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

using testing::BmpLayout;
using testing::Bytes;
using testing::Rgb;
using testing::TgaLayout;

// Changes the current directory for the lifetime of the object.
struct InFolder {
    explicit InFolder(const std::filesystem::path& folder) { std::filesystem::current_path(folder); }
    ~InFolder() { std::filesystem::current_path(previous); }
    std::filesystem::path previous = std::filesystem::current_path();
};

// 2 × 2: bottom row red, green; top row blue, white.
Bytes quadrantBmp() {
    BmpLayout s;
    s.width = 2, s.height = 2, s.pixels = testing::bmpRows({{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}});
    return bmpFile(s);
}
// The same picture as a TGA stored top row first.
Bytes quadrantTga() {
    TgaLayout s;
    s.width = 2, s.height = 2, s.descriptor = 0x20, s.body = {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0};
    return tgaFile(s);
}
Rgb quadrantColour(int x, int y, int size) {  // y = 0 is the top row
    const bool right = x >= size / 2, top = y < size / 2;
    if (top) return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
    return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
}

struct Fixture {
    testing::TempDir dir;
    RecordingPrompt prompt{"Velmora"};
    TextureManager manager{prompt, [](std::string_view) {}};

    std::string write(const std::string& name, const Bytes& bytes) {
        EXPECT_TRUE(testing::writeFile(dir.file(name), bytes));
        return dir.file(name);
    }
};

TEST(TextureManager, ReaderIsChosenByTheLastThreeCharacters) {
    const std::pair<const char*, TextureReader> cases[] = {
        {"a.tga", TextureReader::Tga},   {"A.TGA", TextureReader::Tga},  {"b.Tga", TextureReader::Tga},
        {"tga", TextureReader::Tga},     {"PIC.JpG", TextureReader::Jpeg}, {"x.bmp", TextureReader::Bmp},
        {"x.jpeg", TextureReader::None}, {"ab", TextureReader::None},    {"", TextureReader::None},
        {"x.gif", TextureReader::None}};
    for (const auto& [name, reader] : cases) EXPECT_EQ(textureReaderFor(name), reader) << name;
}

TEST(TextureManager, TextureFilesAreFoundAsGivenThenBesideTheModelInAnyCase) {
    testing::TempDir modelDir, workDir;
    const std::string modelPath = modelDir.file("scene.3ds");
    testing::writeFile(modelDir.file("Tex.Bmp"), {1});
    std::filesystem::create_directory(modelDir.path() / "Maps");
    testing::writeFile(modelDir.file("Maps/Deep.tga"), {1});
    testing::writeFile(modelDir.file("exact.jpg"), {1});

    InFolder in(workDir.path());
    EXPECT_EQ(findTextureFile("TEX.BMP", modelPath), modelDir.file("Tex.Bmp"));
    EXPECT_EQ(findTextureFile("exact.jpg", modelPath), modelDir.file("exact.jpg"));
    EXPECT_EQ(findTextureFile("MAPS\\DEEP.TGA", modelPath), modelDir.file("Maps/Deep.tga"));
    EXPECT_EQ(findTextureFile("NONE.BMP", modelPath), "NONE.BMP");
    EXPECT_EQ(findTextureFile("TEX.BMP", ""), "TEX.BMP");
    // A file of that name in the current folder comes first.
    testing::writeFile(workDir.file("TEX.BMP"), {1});
    EXPECT_EQ(findTextureFile("TEX.BMP", modelPath), "TEX.BMP");
}

TEST(TextureManagerGl, LoadedTextureHoldsThePictureAndTheState) {
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    Fixture f;
    const std::string bmp = f.write("quad.bmp", quadrantBmp());
    const std::string tga = f.write("quad.TGA", quadrantTga());
    for (const std::string& path : {bmp, tga}) {
        const unsigned id = f.manager.createTexture(path, "");
        ASSERT_NE(id, 0u) << path;
        EXPECT_TRUE(glIsTexture(id));
        glBindTexture(GL_TEXTURE_2D, id);
        Bytes back(12, 0xEE);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
        EXPECT_EQ(back, (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255})) << path;
        GLint minFilter = 0, magFilter = 0, wrapT = 0, envMode = 0, alignment = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        EXPECT_EQ((std::vector<GLint>{minFilter, magFilter, wrapT, envMode, alignment}),
                  (std::vector<GLint>{GL_NEAREST, GL_NEAREST, GL_REPEAT, GL_MODULATE, 1}));
    }
    // Two materials naming one file get two objects.
    EXPECT_NE(f.manager.createTexture(bmp, ""), f.manager.createTexture(bmp, ""));
    // An ending no reader takes: an empty object and no message.
    EXPECT_NE(f.manager.createTexture(f.dir.file("quad.jpeg"), ""), 0u);
    EXPECT_EQ(f.manager.createTexture("", ""), 0u);
    EXPECT_TRUE(f.prompt.messages().empty());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(TextureManagerGl, FailuresShowTheReadersMessageThenTheFileName) {
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    Fixture f;
    ScopedFatalExitHandler noExit([](int) { throw std::runtime_error("the program ended"); });
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    BmpLayout wide;
    wide.width = maxSize + 1, wide.pixels.assign(static_cast<std::size_t>(wide.width) * 3 + 3, 0);
    const std::string bmpWide = f.write("wide.bmp", bmpFile(wide));
    const std::string jpegWide = f.write("wide.jpg", testing::jpegFile(maxSize + 1, 1, [](int, int) { return Rgb{}; }));
    TgaLayout grey;
    grey.imageType = 3, grey.depth = 8;  // greyscale without an option saying how to upload it
    const std::string tgaGrey = f.write("grey.tga", tgaFile(grey));
    const std::string notJpeg = f.write("text.jpg", Bytes{'h', 'i', '!', '!'});
    const std::string missing = f.dir.file("none");

    // Each failure: the reader's message, then the file name in the application's box.
    const std::pair<std::string, std::string> cases[] = {
        {missing + ".JPG", "Error: Unable to load JPG File!"},
        {missing + ".bmp", "Error: Failed to open DIB file " + missing + ".bmp.\n"},
        {missing + ".tga", "Velmora: Failed to open TGA Texture File: " + missing + ".tga."},
        {tgaGrey,
         "Velmora: TGA Texture File: " + tgaGrey + " has Unsuported Color Type (Must be Luminance or Alpha Greyscale)."},
        {notJpeg, "Error: JPG Texture File: " + notJpeg + " could not be decoded."},
        {bmpWide, "Velmora: BMP Texture File: " + bmpWide + " is too large, or texture dimensions are not a Power of 2"},
        {jpegWide, "Velmora: JPG Texture File: " + jpegWide + " is too large, or texture dimensions are not a Power of 2"},
    };
    for (const auto& [file, readerMessage] : cases) {
        SCOPED_TRACE(file);
        f.prompt.clear();
        EXPECT_EQ(f.manager.createTexture(file, ""), 0u);
        EXPECT_EQ(f.prompt.transcript(), (std::vector<std::string>{"message " + readerMessage, "message Velmora: " + file}));
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(TextureManagerGl, ProxyCheckRefusesErrorsAndOversizedPictures) {
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    EXPECT_TRUE(proxyTextureAccepts(3, 5));
    EXPECT_FALSE(proxyTextureAccepts(maxSize + 1, 1));  // answered with width 0
    EXPECT_FALSE(proxyTextureAccepts(-1, 4));           // answered with an error
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glEnable(0x7FFF);  // an error left over from before is not the check's
    EXPECT_TRUE(proxyTextureAccepts(4, 4));
}

TEST(TextureManagerGl, RealModelNamesItsTexturesInAnotherCase) {
    const std::string modelPath = "/usr/share/assimp/models/3DS/test1.3ds";
    if (!std::filesystem::exists(modelPath)) GTEST_SKIP() << "assimp-testmodels is not installed";
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    Fixture f;
    ParsedScene scene;
    ASSERT_TRUE(ThreeDsReader(f.prompt, [](std::string_view) {}).readFile(modelPath, scene));
    std::map<std::string, std::pair<int, int>> sizes{
        {"IMAGE1.JPG", {400, 300}}, {"CWALL02.JPG", {800, 446}}, {"IMAGE2.JPG", {800, 608}}};
    int textured = 0;
    for (const auto& m : scene.materialDefs) {
        if (m.textureFile.empty()) continue;
        ++textured;
        ASSERT_TRUE(sizes.count(m.textureFile)) << m.textureFile;
        EXPECT_FALSE(std::filesystem::exists("/usr/share/assimp/models/3DS/" + m.textureFile));
        const unsigned id = f.manager.createTexture(m.textureFile, modelPath);
        ASSERT_NE(id, 0u) << m.textureFile;
        glBindTexture(GL_TEXTURE_2D, id);
        std::pair<GLint, GLint> size;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size.first);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size.second);
        EXPECT_EQ(size, sizes[m.textureFile]);
    }
    EXPECT_EQ(textured, 3);
    EXPECT_TRUE(f.prompt.messages().empty());
}

TEST(TextureManagerGl, ModelLoadsWhateverItsTexturesDo) {
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    Fixture f;
    ScopedFatalExitHandler noExit([](int) { throw std::runtime_error("the program ended"); });
    f.write("GOOD.BMP", quadrantBmp());
    f.write("BAD.JPG", Bytes{'n', 'o'});
    using namespace velmora::testing;
    const std::vector<Vec3> quad{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    std::vector<Chunk> chunks, groups;
    const char* textures[] = {"GOOD.BMP", "BAD.JPG", "MISSING.TGA", "good.bmp"};
    for (int i = 0; i < 4; ++i) {
        const std::string name = "M" + std::to_string(i);
        chunks.push_back(simpleMaterial(name, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {textureMap(textures[i])}));
        groups.push_back(faceGroup(name, {static_cast<std::uint16_t>(i % 2)}));
    }
    chunks.push_back(object("Quad", {mesh({vertexList(quad), faceList({{0, 1, 2}, {0, 2, 3}}, groups)})}));
    const std::string modelPath = f.dir.file("model.3ds");
    ASSERT_TRUE(writeFile(modelPath, model(chunks)));

    MeshModel mesh(90, 1, f.prompt, f.manager.factory(), [](std::string_view) {});
    ASSERT_TRUE(mesh.read(modelPath));
    ASSERT_TRUE(mesh.build());
    ASSERT_EQ(mesh.materials().size(), 4u);
    const bool loaded[] = {true, false, false, true};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(mesh.materials()[i].textureId != 0u, loaded[i]) << textures[i];
    EXPECT_EQ(f.prompt.transcript(), (std::vector<std::string>{
                     "message Error: JPG Texture File: " + f.dir.file("BAD.JPG") + " could not be decoded.",
                     "message Velmora: BAD.JPG", "message Velmora: Failed to open TGA Texture File: MISSING.TGA.",
                     "message Velmora: MISSING.TGA"}));
}

// Draws the bound texture over the whole surface with texture coordinates
// 0..`repeat` and returns the colour at pixel (x, y), y counted from the bottom.
std::vector<std::uint8_t> drawTexturedQuad(HeadlessGlSurface& gl, unsigned texture, float repeat) {
    const int size = gl.width();
    glViewport(0, 0, size, size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, size, 0, size, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    for (const auto& [u, v] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}})
        glTexCoord2f(u * repeat, v * repeat), glVertex2f(float(u * size), float(v * size));
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glFinish();
    return gl.readRgba();
}

TEST(TextureManagerGl, TexturedQuadShowsTheTexelsWhereExpected) {
    auto gl = testing::makeHeadlessSurface(64, 64);
    if (!gl) return;
    Fixture f;
    const std::string files[] = {
        f.write("q.bmp", quadrantBmp()), f.write("q.tga", quadrantTga()),
        f.write("q.jpg", testing::jpegFile(16, 16, [](int x, int y) { return quadrantColour(x, y, 16); }))};
    for (const auto& file : files) {
        const unsigned id = f.manager.createTexture(file, "");
        ASSERT_NE(id, 0u);
        const int tolerance = file == files[2] ? 8 : 0;
        struct Probe {
            float repeat;
            int x, y;
            Rgb colour;
        };
        const Probe probes[] = {
            // Each texel quarter covers 32 × 32 pixels; the texture's first row is the bottom one.
            {1, 16, 16, {255, 0, 0}}, {1, 48, 16, {0, 255, 0}}, {1, 16, 48, {0, 0, 255}}, {1, 48, 48, {255, 255, 255}},
            // Repeated twice each way, the pattern recurs every 32 pixels.
            {2, 8, 8, {255, 0, 0}}, {2, 40, 8, {255, 0, 0}}, {2, 56, 56, {255, 255, 255}}, {2, 24, 40, {0, 255, 0}}};
        for (const Probe& p : probes) {
            const auto rgba = drawTexturedQuad(*gl, id, p.repeat);
            EXPECT_TRUE(testing::closeTo(&rgba[(p.y * 64 + p.x) * 4], p.colour, tolerance))
                << file << " at " << p.x << ", " << p.y;
        }
    }
    EXPECT_TRUE(f.prompt.messages().empty());
}

}  // namespace
}  // namespace velmora
