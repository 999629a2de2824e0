// The .3ds reader against files built byte by byte, each compared whole with the text worked out for it. What users
// rely on: each chunk kind (names, colours, transparency, texture names, vertices, faces, groups, mapping, matrix)
// lands in its own field and never in a neighbour's; unknown chunks are skipped by length; cut or lying files keep what
// was read, say "Error reading file" and go on; faces flagged 7 swap corners; names keep 16 characters; faces without a
// group get the default material; smoothed normals stop at the crease, weighted by corner angle (MeshModelTest).

#include "model/ThreeDsReader.h"
#include "support/Prompts.h"
#include "support/SceneDump.h"
#include "support/ThreeDsBuilder.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace velmora;
using namespace velmora::testing;

namespace {

std::string readDump(RecordingPrompt& prompt, const Bytes* bytes, const std::string& path = "") {
    std::string out;
    ParsedScene scene;
    ThreeDsReader reader(prompt, [&out](std::string_view s) { out += s; });
    const bool ok = bytes ? reader.readMemory(bytes->data(), bytes->size(), scene) : reader.readFile(path, scene);
    std::string text = dumpScene(scene);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) text += "> " + line + "\n";
    return text + (ok ? "" : "failed\n");
}

const std::vector<Vec3> kSquare{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

Bytes oneMesh(const std::vector<Chunk>& meshChildren) { return model({object("Thing", {mesh(meshChildren)})}); }

std::map<std::string, Bytes> cases() {
    std::map<std::string, Bytes> c;
    c["main chunk without editor"] = Chunk(0x4D4D).add(Chunk(0x0002).u32(3)).bytes();
    c["zero-length chunk"] = Chunk(0x4D4D).add(Chunk(0x3D3D).forceLength(0)).bytes();
    Bytes& shortMain = c["main chunk shorter than the file"] = model({object("First", {mesh({vertexList(kSquare)})})});
    const Bytes after = Chunk(0x3D3D).add(object("Second", {mesh({vertexList(kSquare)})})).bytes();
    shortMain.insert(shortMain.end(), after.begin(), after.end());
    Bytes& cut = c["file cut inside a face"] = oneMesh({vertexList(kSquare), faceList({{0, 1, 2}, {0, 2, 3}})});
    cut.resize(cut.size() - 6);  // inside the second face
    c["length below six"] = model({object("Broken", {mesh({Chunk(0x1234).forceLength(3), vertexList(kSquare)})}),
                                   object("Fine", {mesh({vertexList(kSquare)})})});
    c["child reaching past its parent"] = model({object("A", {mesh({vertexList(kSquare).forceLength(100000)})}),
                                                 object("B", {mesh({vertexList(kSquare)})})});
    c["stray bytes after a mesh"] = model({object("A", {mesh({vertexList(kSquare)})}).raw({1, 2, 3}),
                                           object("B", {mesh({vertexList(kSquare)})})});
    c["counts beyond the chunk"] = oneMesh({Chunk(0x4110).u16(60000).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(7),
                                            Chunk(0x4120).u16(65535).u16(0).u16(0).u16(0).u16(0)});
    Bytes& open = c["file ending inside a header"] = oneMesh({vertexList(kSquare)});
    const std::size_t claimed = open.size() + 100;
    open[2] = std::uint8_t(claimed), open[3] = std::uint8_t(claimed >> 8);
    open.insert(open.end(), {0x10, 0x00, 0x20});  // a header that never ends
    c["sixteen-character name"] = model({object("ABCDEFGHIJKLMNOP", {mesh({vertexList(kSquare)})})});
    c["longer name"] = model({object("A_VERY_LONG_OBJECT_NAME_INDEED", {mesh({vertexList(kSquare)})})});
    c["unterminated name"] = model({material({Chunk(0xA000).raw({'A', 'B', 'C'}), twoSided()})});
    c["vertices, faces, mapping and a group"] =
        oneMesh({vertexList({{1.5f, -2, 3}, {4, 5, 6}, {7, 8, 9.25f}}), mapCoords({{0.25f, 0.5f}, {1, 0}, {0, 1}}),
                 faceList({{0, 1, 2, 3}}, {faceGroup("Red", {0})})});
    std::vector<Face> flagged;
    for (std::uint16_t flags : {0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFFFF}) flagged.push_back({10, 20, 30, flags});
    c["face flags"] = oneMesh({faceList(flagged)});
    c["group after smoothing groups"] = oneMesh(
        {vertexList(kSquare), faceList({{0, 1, 2}, {0, 2, 3}}, {smoothingGroups(2), faceGroup("Blue", {1, 0})})});
    c["second vertex list"] = oneMesh({vertexList({{1, 2, 3}}), vertexList({{4, 5, 6}, {7, 8, 9}})});
    c["second face list"] = oneMesh({faceList({{1, 2, 3}}), faceList({{4, 5, 6}, {7, 8, 9}})});  // the last one's count
    c["second mapping chunk"] = oneMesh({mapCoords({{1, 2}, {3, 4}, {5, 6}}), mapCoords({{7, 8}, {9, 10}})});
    // The walk goes on after the twelve floats (or a name), as after any list: a chunk there is read.
    c["local matrix and a chunk after its floats"] =
        oneMesh({localMatrix({1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7}).add(vertexList(kSquare))});
    c["a chunk inside a material's name chunk"] = model({material({materialName("Inner").add(twoSided())})});
    c["local matrix one float short"] = oneMesh({Chunk(0x4160).raw(Bytes(11 * 4, 9))});
    const Chunk unknown = Chunk(0x7777).raw(Bytes(13, 0xFF));
    c["lights, cameras, keyframer and unknown chunks"] =
        model({unknown, object("Lamp", {Chunk(0x4600).f32(1).f32(2).f32(3)}), object("Cam", {Chunk(0x4700).raw(Bytes(32, 0))}),
               object("Box", {mesh({unknown, vertexList(kSquare)})})},
              {Chunk(0xB000).add(Chunk(0xB002).raw(Bytes(40, 0x41)))});
    c["24-bit colours"] = model({simpleMaterial("M", {255, 128, 0}, {0, 0, 0}, {1, 2, 3})});
    c["float colours and the later kind wins"] = model({material({
        colourBlock(0xA010, {colourFloat(0.1f, 0.2f, 0.3f)}),
        colourBlock(0xA020, {colourFloat(0.1f, 0.2f, 0.3f), colour24(128, 64, 32)}),
        colourBlock(0xA030, {colour24(128, 64, 32), Chunk(0x0012).u8(1).u8(2).u8(3), colourFloat(1, 1, 1)}),
    })});
    c["colour cut short"] = model({material({colourBlock(0xA020, {Chunk(0x0010).f32(0.5f).f32(0.5f)})})});
    std::vector<Chunk> transparent;
    const std::vector<std::vector<Chunk>> percents{{percent(0)},   {percent(1)},  {percent(50)},
                                                   {percent(90)},  {percent(100)}, {percent(20), percent(40)},
                                                   {},             {Chunk(0x0031).f32(50.0f)}};
    for (std::size_t i = 0; i < percents.size(); ++i)
        transparent.push_back(material({materialName("T" + std::to_string(i)), transparency(percents[i])}));
    transparent.push_back(material({materialName("Glass"), transparency({percent(50)}),
                                    colourBlock(0xA030, {colour24(0, 0, 0)})}));
    c["transparency"] = model(transparent);
    c["two-sided with a body, texture and missing name"] = model({
        material({materialName("Tex"), twoSided().add(materialName("Body")), textureMap("IMAGE1.JPG")}),
        material({colourBlock(0xA020, {colour24(0, 0, 255)})}),
        material({Chunk(0xA33A).add(Chunk(0xA300).name("BUMP.TGA")), textureMap("WOOD.BMP")}),
    });
    c["file order"] = model({simpleMaterial("First", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}),
                             object("One", {mesh({vertexList(kSquare)})}),
                             simpleMaterial("Second", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}),
                             object("Two", {mesh({vertexList(kSquare)})})});
    return c;
}

TEST(ThreeDsReader, BuiltFilesReadAsWorkedOut) {
    const auto expected = dataSections("threeds_reader.txt");
    const auto built = cases();
    ASSERT_EQ(expected.size(), built.size() + 1);  // and the file from disk below
    for (const auto& [name, bytes] : built) {
        SCOPED_TRACE(name);
        RecordingPrompt prompt;
        expectData(readDump(prompt, &bytes), "threeds_reader.txt", name);
        EXPECT_TRUE(prompt.messages().empty());
    }
}

TEST(ThreeDsReader, FilesOnDisk) {
    TempDir dir;
    const Bytes square = oneMesh({vertexList(kSquare), faceList({{0, 1, 2}, {0, 2, 3}}, {faceGroup("A", {0, 1})})});
    ASSERT_TRUE(writeFile(dir.file("square.3ds"), square));
    ASSERT_TRUE(writeFile(dir.file("other.3ds"), Chunk(0x4D4C).u32(0).bytes()));
    ASSERT_TRUE(writeFile(dir.file("empty.3ds"), std::string()));
    RecordingPrompt prompt;
    expectData(readDump(prompt, nullptr, dir.file("square.3ds")), "threeds_reader.txt", "square from disk");
    EXPECT_EQ(readDump(prompt, nullptr, dir.file("other.3ds")),
              "> Not in 3DS format.\n> Failed to parse " + dir.file("other.3ds") + "\nfailed\n");
    EXPECT_EQ(readDump(prompt, nullptr, dir.file("empty.3ds")),
              "> Error reading file\n> Not in 3DS format.\n> Failed to parse " + dir.file("empty.3ds") + "\nfailed\n");
    // A folder is refused like a missing file, on every file system.
    const AwkwardPaths awkward(dir, ".3ds");
    for (const std::string& path : {awkward.folder, dir.file("absent.3ds")}) {
        RecordingPrompt refused;
        EXPECT_EQ(readDump(refused, nullptr, path), "failed\n");
        expectBox(refused, "Error", "Failed to open " + path + "\n");
    }
    // A device, a huge file and a FIFO without a writer end at once, in a bounded memory.
    for (const std::string& path : {awkward.zero, awkward.big})
        EXPECT_EQ(readDump(prompt, nullptr, path), "> Not in 3DS format.\n> Failed to parse " + path + "\nfailed\n");
    EXPECT_EQ(readDump(prompt, nullptr, awkward.fifo),
              "> Error reading file\n> Not in 3DS format.\n> Failed to parse " + awkward.fifo + "\nfailed\n");
    const int keeper = fillFifo(awkward.fifo, std::string(square.begin(), square.end()));
    EXPECT_EQ(readDump(prompt, nullptr, awkward.fifo), dataSections("threeds_reader.txt").at("square from disk"));
    ::close(keeper);
    EXPECT_TRUE(prompt.messages().empty());
}

// A stream claiming 4 GiB, 128 KiB of address space left: 64 KiB are read, twice that does not fit: unreadable.
TEST(ThreeDsReaderDeathTest, AStreamLargerThanTheMemoryLeftIsRefused) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator needs more address space than this leaves";
#endif
    TempDir dir;
    const AwkwardPaths awkward(dir, ".3ds");
    const int keeper = fillFifo(awkward.fifo, "\x4D\x4D\xFF\xFF\xFF\xFF" + std::string((1 << 16) - 6, '\0'));
    ASSERT_GE(keeper, 0);
    const auto read = [&] {
        RecordingPrompt prompt;
        const std::string expected = "> Error reading file\n> Failed to parse " + awkward.fifo + "\nfailed\n";
        std::_Exit(!leaveAddressSpace(128 << 10) ? 2 : readDump(prompt, nullptr, awkward.fifo) == expected ? 0 : 1);
    };
    EXPECT_EXIT(read(), ::testing::ExitedWithCode(0), "");
    ::close(keeper);
}

}  // namespace
