#include "textures/TextureManager.h"

#include "PictureWriters.h"
#include "platform/FatalExit.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/Pictures.h"
#include "textures/TexturePath.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <map>

namespace velmora {
namespace {

using namespace testing;

TEST(TextureManager, ReaderIsChosenByTheLastThreeCharacters) {
    // The common endings in any case are met by the texture tests below.
    const std::pair<const char*, TextureReader> cases[] = {
        {"tga", TextureReader::Tga}, {"a.apng", TextureReader::Png}, {"a.pn", TextureReader::None},
        {"", TextureReader::None},   {"x.gif", TextureReader::None}, {"PIC.JpG", TextureReader::Jpeg}};
    for (const auto& [name, reader] : cases) EXPECT_EQ(textureReaderFor(name), reader) << name;
}

TEST(TextureManager, TextureFilesAreFoundAsGivenThenBesideTheModelInAnyCase) {
    TempDir modelDir, workDir;
    const std::string modelPath = modelDir.file("scene.3ds");
    std::filesystem::create_directory(modelDir.path() / "Maps");
    for (const char* name : {"tex.bmp", "Tex.Bmp", "Maps/Deep.tga", "exact.jpg"}) writeFile(modelDir.file(name), std::string("x"));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(workDir.path());
    EXPECT_EQ(findTextureFile("TEX.BMP", modelPath), modelDir.file("Tex.Bmp"));  // the first of two in name order
    EXPECT_EQ(findTextureFile("./maps//.\\deep.TGA", modelPath), modelDir.file("Maps/Deep.tga"));
    EXPECT_EQ(findTextureFile("MAPS/NONE/DEEP.TGA", modelPath), "MAPS/NONE/DEEP.TGA");
    EXPECT_EQ(findTextureFile("exact.jpg", modelPath), modelDir.file("exact.jpg"));
    EXPECT_EQ(findTextureFile("MAPS\\DEEP.TGA", modelPath), modelDir.file("Maps/Deep.tga"));
    EXPECT_EQ(findTextureFile("NONE.BMP", modelPath), "NONE.BMP");
    EXPECT_EQ(findTextureFile("TEX.BMQ", modelPath), "TEX.BMQ");  // one letter off is another name
    EXPECT_EQ(findTextureFile("TEX.BMP", ""), "TEX.BMP");
    std::filesystem::current_path(modelDir.path());  // a model named without a folder lies in the current one
    EXPECT_EQ(findTextureFile("TEX.BMP", "scene.3ds"), "./Tex.Bmp");
    std::filesystem::current_path(workDir.path());
    writeFile(workDir.file("TEX.BMP"), std::string("x"));  // one in the current folder comes first
    EXPECT_EQ(findTextureFile("TEX.BMP", modelPath), "TEX.BMP");
    std::filesystem::current_path(previous);
}

struct TextureManagerGl : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(gl); }
    std::string write(const std::string& name, const Bytes& bytes) {
        EXPECT_TRUE(writeFile(dir.file(name), bytes));
        return dir.file(name);
    }
    std::unique_ptr<HeadlessGlSurface> gl = makeHeadlessSurface(8, 8);
    TempDir dir;
    RecordingPrompt prompt{"Velmora"};
    TextureManager manager{prompt, [](std::string_view) {}};
    ScopedFatalExitHandler noExit{[](int) { throw std::runtime_error("the program ended"); }};
};

// How each reader decodes is its own test's; here, that each is reached and
// leaves the texture state, and that the upload takes the rows as decoded.
TEST_F(TextureManagerGl, EveryReaderUploadsThePictureBottomRowFirstWithTheState) {
    writePng(dir.file("q.png"), 1, 1, {1, 2, 3, 255});
    const std::string bmp =
        write("q.bmp", bmpFile({24, 2, 2, bmpRows({{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}})}));
    const std::string tga = write("q.TGA", tgaFile({2, 24, 1, 2, {1, 2, 3, 4, 5, 6}}));
    const std::map<std::string, Bytes> rows{{bmp, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}},
                                            {tga, {3, 2, 1, 6, 5, 4}}};
    for (const std::string& path :
         {bmp, tga, dir.file("q.png"), write("q.jpg", jpegFile(8, 8, [](int, int) { return Rgb{}; }))}) {
        SCOPED_TRACE(path);
        // Left behind by other code, they would shift every row after the first, of 3 bytes in the TGA.
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 1);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        const unsigned id = manager.createTexture(path, "");
        ASSERT_NE(id, 0u);
        glBindTexture(GL_TEXTURE_2D, id);
        std::vector<GLint> state;
        for (GLenum name : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
            glGetTexParameteriv(GL_TEXTURE_2D, name, &state.emplace_back());
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &state.emplace_back());
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &state.emplace_back());
        EXPECT_EQ(state, (std::vector<GLint>{GL_NEAREST, GL_NEAREST, GL_REPEAT, GL_REPEAT, GL_MODULATE, 1}));
        if (!rows.count(path)) continue;
        Bytes back(rows.at(path).size(), 0xEE);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
        EXPECT_EQ(back, rows.at(path));
    }
    EXPECT_NE(manager.createTexture(bmp, ""), manager.createTexture(bmp, ""));  // one object per material
    EXPECT_NE(manager.createTexture(dir.file("q.jpeg"), ""), 0u);  // no reader: an empty object, no message
    // The factory models use passes their path on: a texture beside the model is found from anywhere.
    EXPECT_NE(manager.factory()("q.bmp", dir.file("model.3ds")), 0u);
    EXPECT_EQ(manager.createTexture("", ""), 0u);
    EXPECT_TRUE(prompt.messages().empty());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureManagerGl, FailuresShowTheReadersMessageThenTheFileName) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const int wide = maxSize + 1;
    writePng(dir.file("wide.png"), wide, 1, Bytes(std::size_t(wide) * 4, 9));
    std::string shown;
    for (const std::string& file : {write("bad.jpg", Bytes{'n', 'o'}), dir.file("none.tga"),
                                    write("wide.bmp", bmpFile({24, wide, 1, Bytes(std::size_t(wide) * 3 + 3)})),
                                    write("wide.jpg", jpegFile(wide, 1, [](int, int) { return Rgb{}; })),
                                    dir.file("wide.png")}) {
        EXPECT_EQ(manager.createTexture(file, ""), 0u) << file;
        for (const std::string& line : prompt.transcript()) shown += line + "\n";
        prompt.clear();
    }
    for (std::size_t at; (at = shown.find(dir.path().string())) != std::string::npos;)
        shown.replace(at, dir.path().string().size(), "DIR");
    expectData(shown, "texture_manager.txt", "failures");
    // A bitmap or PNG its reader refuses leaves no texture either, the file named last.
    for (const std::string& file : {write("bad.bmp", Bytes{'B', 'M', 1, 0}), write("bad.png", Bytes{0x89, 'P', 'N'})}) {
        EXPECT_EQ(manager.createTexture(file, ""), 0u) << file;
        EXPECT_EQ(prompt.messages().empty() ? "" : prompt.messages().back().text, file);
        prompt.clear();
    }
    EXPECT_TRUE(proxyTextureAccepts(3, 5));
    EXPECT_FALSE(proxyTextureAccepts(-1, 4));  // answered with an error, as a size far beyond the limit is
    EXPECT_FALSE(proxyTextureAccepts(0, 4));   // no error, but an empty picture is no texture
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glEnable(0x7FFF);  // an error left over from before is not the check's
    EXPECT_TRUE(proxyTextureAccepts(4, 4));
}

}  // namespace
}  // namespace velmora
