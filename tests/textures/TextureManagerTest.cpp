#include "textures/TextureManager.h"

#include "PictureWriters.h"
#include "model/MeshModel.h"
#include "model/ThreeDsReader.h"
#include "platform/FatalExit.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/TempDir.h"
#include "support/ThreeDsBuilder.h"
#include "textures/TexturePath.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

using testing::BmpSpec;
using testing::Bytes;
using testing::Rgb;
using testing::TgaSpec;

// Changes the current directory for the lifetime of the object.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

// 2 × 2: bottom row red, green; top row blue, white.
Bytes quadrantBmp() {
    BmpSpec s;
    s.width = 2, s.height = 2;
    s.pixels = testing::bmpRows({{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}});
    return bmpFile(s);
}
// The same picture as a TGA stored top row first.
Bytes quadrantTga() {
    TgaSpec s;
    s.width = 2, s.height = 2, s.descriptor = 0x20;
    s.body = {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0};
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
    std::vector<std::string> libraryTexts;
    TextureManager manager{prompt, [this](std::string_view t) { libraryTexts.emplace_back(t); }};

    std::string write(const std::string& name, const Bytes& bytes) {
        testing::writeBytes(dir.file(name), bytes);
        return dir.file(name);
    }
};

TEST(TextureManager, ReaderIsChosenByTheLastThreeCharacters) {
    for (const char* name : {"a.tga", "A.TGA", "b.Tga", "tga"}) EXPECT_EQ(textureReaderFor(name), TextureReader::Tga);
    EXPECT_EQ(textureReaderFor("PIC.JpG"), TextureReader::Jpeg);
    EXPECT_EQ(textureReaderFor("x.bmp"), TextureReader::Bmp);
    for (const char* name : {"x.jpeg", "ab", "", "x.gif"}) EXPECT_EQ(textureReaderFor(name), TextureReader::None);
}

TEST(TextureManager, TextureFilesAreFoundAsGivenThenBesideTheModelInAnyCase) {
    testing::TempDir modelDir, workDir;
    const std::string modelPath = modelDir.file("scene.3ds");
    testing::writeBytes(modelDir.file("Tex.Bmp"), {1});
    std::filesystem::create_directory(modelDir.path() / "Maps");
    testing::writeBytes(modelDir.file("Maps/Deep.tga"), {1});
    testing::writeBytes(modelDir.file("exact.jpg"), {1});

    InFolder in(workDir.path());
    EXPECT_EQ(findTextureFile("TEX.BMP", modelPath), modelDir.file("Tex.Bmp"));
    EXPECT_EQ(findTextureFile("exact.jpg", modelPath), modelDir.file("exact.jpg"));
    EXPECT_EQ(findTextureFile("MAPS\\DEEP.TGA", modelPath), modelDir.file("Maps/Deep.tga"));
    EXPECT_EQ(findTextureFile("NONE.BMP", modelPath), "NONE.BMP");
    EXPECT_EQ(findTextureFile("TEX.BMP", ""), "TEX.BMP");
    // A file of that name in the current folder comes first.
    testing::writeBytes(workDir.file("TEX.BMP"), {1});
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
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_NEAREST);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, GL_NEAREST);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
        EXPECT_EQ(value, GL_REPEAT);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
        EXPECT_EQ(value, GL_MODULATE);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
        EXPECT_EQ(value, 1);
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
    BmpSpec wide;
    wide.width = maxSize + 1;
    wide.pixels.assign(static_cast<std::size_t>(wide.width) * 3 + 3, 0);
    const std::string bmpWide = f.write("wide.bmp", bmpFile(wide));
    const std::string jpegWide = f.write("wide.jpg", testing::jpegFile(maxSize + 1, 1, [](int, int) { return Rgb{}; }));
    TgaSpec grey;
    grey.imageType = 3, grey.depth = 8;
    const std::string tgaGrey = f.write("grey.tga", tgaFile(grey));
    const std::string notJpeg = f.write("text.jpg", Bytes{'h', 'i', '!', '!'});
    const std::string missing = f.dir.file("none");

    struct Case {
        std::string file;
        std::vector<std::string> transcript;
    };
    const Case cases[] = {
        {missing + ".JPG", {"message Error: Unable to load JPG File!", "message Velmora: " + missing + ".JPG"}},
        {missing + ".bmp",
         {"message Error: Failed to open DIB file " + missing + ".bmp.\n", "message Velmora: " + missing + ".bmp"}},
        {missing + ".tga",
         {"message Velmora: Failed to open TGA Texture File: " + missing + ".tga.", "message Velmora: " + missing + ".tga"}},
        {tgaGrey,
         {"message Velmora: TGA Texture File: " + tgaGrey +
              " has Unsuported Color Type (Must be Luminance or Alpha Greyscale).",
          "message Velmora: " + tgaGrey}},
        {notJpeg, {"message Error: JPG Texture File: " + notJpeg + " could not be decoded.", "message Velmora: " + notJpeg}},
        {bmpWide,
         {"message Velmora: BMP Texture File: " + bmpWide +
              " is too large, or texture dimensions are not a Power of 2",
          "message Velmora: " + bmpWide}},
        {jpegWide,
         {"message Velmora: JPG Texture File: " + jpegWide +
              " is too large, or texture dimensions are not a Power of 2",
          "message Velmora: " + jpegWide}},
    };
    for (const auto& c : cases) {
        f.prompt.clear();
        EXPECT_EQ(f.manager.createTexture(c.file, ""), 0u) << c.file;
        EXPECT_EQ(f.prompt.transcript(), c.transcript);
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
    ASSERT_TRUE(ThreeDsReader(f.prompt, [](std::string_view) {}).ReadFile(modelPath, scene));
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
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(std::make_pair(width, height), sizes[m.textureFile]);
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
    std::vector<Chunk> chunks;
    std::vector<Chunk> groups;
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
    ASSERT_TRUE(mesh.Load(modelPath));
    ASSERT_EQ(mesh.materials().size(), 4u);
    EXPECT_NE(mesh.materials()[0].textureId, 0u);
    EXPECT_EQ(mesh.materials()[1].textureId, 0u);
    EXPECT_EQ(mesh.materials()[2].textureId, 0u);
    EXPECT_NE(mesh.materials()[3].textureId, 0u);
    const auto& t = f.prompt.transcript();
    ASSERT_GE(t.size(), 5u);
    EXPECT_EQ(t[0], "message Error: JPG Texture File: " + f.dir.file("BAD.JPG") + " could not be decoded.");
    EXPECT_EQ(t[1], "message Velmora: BAD.JPG");
    EXPECT_EQ(t[2], "message Velmora: Failed to open TGA Texture File: MISSING.TGA.");
    EXPECT_EQ(t[3], "message Velmora: MISSING.TGA");
    EXPECT_EQ(t[4].rfind("message ok: maxx:", 0), 0u);  // the bounds box: loading went on
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
    glTexCoord2f(0, 0), glVertex2f(0, 0);
    glTexCoord2f(repeat, 0), glVertex2f(size, 0);
    glTexCoord2f(repeat, repeat), glVertex2f(size, size);
    glTexCoord2f(0, repeat), glVertex2f(0, size);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glFinish();
    return gl.readRgba();
}

TEST(TextureManagerGl, TexturedQuadShowsTheTexelsWhereExpected) {
    auto gl = testing::makeHeadlessSurface(64, 64);
    if (!gl) return;
    Fixture f;
    auto at = [](const std::vector<std::uint8_t>& rgba, int x, int y) { return &rgba[(y * 64 + x) * 4]; };
    auto same = [](const std::uint8_t* p, Rgb c, int tolerance) {
        return std::abs(p[0] - c.r) <= tolerance && std::abs(p[1] - c.g) <= tolerance &&
               std::abs(p[2] - c.b) <= tolerance;
    };
    const std::string files[] = {
        f.write("q.bmp", quadrantBmp()), f.write("q.tga", quadrantTga()),
        f.write("q.jpg", testing::jpegFile(16, 16, [](int x, int y) { return quadrantColour(x, y, 16); }))};
    for (const auto& file : files) {
        const unsigned id = f.manager.createTexture(file, "");
        ASSERT_NE(id, 0u);
        const int tolerance = file == files[2] ? 8 : 0;
        // Each texel quarter covers 32 × 32 pixels; the texture's first row is the bottom one.
        auto rgba = drawTexturedQuad(*gl, id, 1);
        EXPECT_TRUE(same(at(rgba, 16, 16), {255, 0, 0}, tolerance)) << file;
        EXPECT_TRUE(same(at(rgba, 48, 16), {0, 255, 0}, tolerance)) << file;
        EXPECT_TRUE(same(at(rgba, 16, 48), {0, 0, 255}, tolerance)) << file;
        EXPECT_TRUE(same(at(rgba, 48, 48), {255, 255, 255}, tolerance)) << file;
        // Repeated twice each way, the pattern recurs every 32 pixels.
        rgba = drawTexturedQuad(*gl, id, 2);
        EXPECT_TRUE(same(at(rgba, 8, 8), {255, 0, 0}, tolerance)) << file;
        EXPECT_TRUE(same(at(rgba, 40, 8), {255, 0, 0}, tolerance)) << file;
        EXPECT_TRUE(same(at(rgba, 56, 56), {255, 255, 255}, tolerance)) << file;
        EXPECT_TRUE(same(at(rgba, 24, 40), {0, 255, 0}, tolerance)) << file;
    }
    EXPECT_TRUE(f.prompt.messages().empty());
}

}  // namespace
}  // namespace velmora
