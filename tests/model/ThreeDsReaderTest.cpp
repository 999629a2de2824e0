// The .3ds reader against files built byte by byte, grouped by chunk family.

#include "model/ThreeDsReader.h"
#include "platform/RecordingPrompt.h"
#include "support/TempDir.h"
#include "support/ThreeDsBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::testing;

namespace {

struct ReadResult {
    bool ok = false;
    ParsedScene scene;
    std::string out;  // the reader's standard-output lines
    std::vector<RecordingPrompt::Message> boxes;
};

ReadResult readBytes(const Bytes& bytes) {
    ReadResult r;
    RecordingPrompt prompt;
    ThreeDsReader reader(prompt, [&](std::string_view s) { r.out += s; });
    r.ok = reader.readMemory(bytes.data(), bytes.size(), r.scene);
    r.boxes = prompt.messages();
    return r;
}

ReadResult readPath(const std::string& path) {
    ReadResult r;
    RecordingPrompt prompt;
    ThreeDsReader reader(prompt, [&](std::string_view s) { r.out += s; });
    r.ok = reader.readFile(path, r.scene);
    r.boxes = prompt.messages();
    return r;
}

std::vector<Vec3> square() { return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}; }

Bytes oneMesh(const std::vector<Chunk>& meshChildren, const std::vector<Chunk>& more = {}) {
    std::vector<Chunk> children{object("Thing", {mesh(meshChildren)})};
    children.insert(children.end(), more.begin(), more.end());
    return model(children);
}

}  // namespace

// --- the file and its header ------------------------------------------------

TEST(ThreeDsFile, MissingFileShowsTheOpenBox) {
    TempDir dir;
    const std::string path = dir.file("nothing-here.3ds");
    const ReadResult r = readPath(path);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "Error");
    EXPECT_EQ(r.boxes[0].text, "Failed to open " + path + "\n");
    EXPECT_EQ(r.boxes[0].icon, PromptIcon::Error);
    EXPECT_EQ(r.boxes[0].buttons, PromptButtons::Ok);
    EXPECT_TRUE(r.out.empty());
}

TEST(ThreeDsFile, WrongFirstChunkIsNotA3dsFile) {
    TempDir dir;
    const std::string path = dir.file("other.3ds");
    Chunk notMain(0x4D4C);
    notMain.u32(0);
    ASSERT_TRUE(writeFile(path, notMain.bytes()));
    const ReadResult r = readPath(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, "Not in 3DS format.\nFailed to parse " + path + "\n");
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ThreeDsFile, EmptyFileFailsCleanly) {
    TempDir dir;
    const std::string path = dir.file("empty.3ds");
    ASSERT_TRUE(writeFile(path, {}));
    const ReadResult r = readPath(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, "Error reading file\nNot in 3DS format.\nFailed to parse " + path + "\n");
}

TEST(ThreeDsFile, DirectoryIsNotAModel) {
    TempDir dir;
    const std::string path = dir.path().string();
    const ReadResult r = readPath(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "Failed to open " + path + "\n");
    EXPECT_EQ(r.boxes[0].caption, "Error");
}

TEST(ThreeDsFile, MainChunkWithoutEditorGivesAnEmptyScene) {
    Chunk main(0x4D4D);
    main.add(Chunk(0x0002).u32(3));
    const ReadResult r = readBytes(main.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.scene.objects.empty());
    EXPECT_TRUE(r.scene.materialDefs.empty());
    EXPECT_TRUE(r.out.empty());
}

TEST(ThreeDsFile, ReadFromDiskMatchesReadFromMemory) {
    TempDir dir;
    const Bytes bytes = oneMesh({vertexList(square()), faceList({{0, 1, 2}, {0, 2, 3}}, {faceGroup("A", {0, 1})})},
                                {simpleMaterial("A", {1, 2, 3}, {4, 5, 6}, {7, 8, 9})});
    const std::string path = dir.file("square.3ds");
    ASSERT_TRUE(writeFile(path, bytes));
    const ReadResult fromDisk = readPath(path);
    const ReadResult fromMemory = readBytes(bytes);
    ASSERT_TRUE(fromDisk.ok);
    ASSERT_EQ(fromDisk.scene.objects.size(), 1u);
    EXPECT_EQ(fromDisk.scene.objects[0].vertices.size(), 4u);
    EXPECT_EQ(fromDisk.scene.objects[0].faces.size(), fromMemory.scene.objects[0].faces.size());
    EXPECT_EQ(fromDisk.scene.materialDefs[0].diffuse, fromMemory.scene.materialDefs[0].diffuse);
}

// --- the walk over malformed lengths and counts -----------------------------

TEST(ThreeDsWalk, MainChunkShorterThanTheFileEndsTheWalkThere) {
    Bytes first = model({object("First", {mesh({vertexList(square())})})});
    Bytes second = Chunk(0x3D3D).add(object("Second", {mesh({vertexList(square())})})).bytes();
    Bytes file = first;
    file.insert(file.end(), second.begin(), second.end());  // after the main chunk's end
    const ReadResult r = readBytes(file);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.scene.objects[0].name, "First");
    EXPECT_TRUE(r.out.empty());
}

TEST(ThreeDsWalk, TruncatedFileReportsAndStops) {
    Bytes file = oneMesh({vertexList(square()), faceList({{0, 1, 2}, {0, 2, 3}})});
    file.resize(file.size() - 6);  // cut inside the second face
    const ReadResult r = readBytes(file);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.scene.objects[0].vertices.size(), 4u);
    // One whole face of the two survived the cut.
    EXPECT_EQ(r.scene.objects[0].faces.size(), 1u);
    EXPECT_EQ(r.out, "Error reading file\n");
}

TEST(ThreeDsWalk, LengthBelowSixEndsTheParentsWalk) {
    Chunk bad(0x1234);
    bad.forceLength(3);
    // The mesh walk stops at the bad chunk; the vertex list after it is not read,
    // but the next object (a sibling of the mesh's parent) still is.
    Bytes file = model({object("Broken", {mesh({bad, vertexList(square())})}),
                        object("Fine", {mesh({vertexList(square())})})});
    const ReadResult r = readBytes(file);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.scene.objects.size(), 2u);
    EXPECT_TRUE(r.scene.objects[0].vertices.empty());
    EXPECT_EQ(r.scene.objects[1].name, "Fine");
    EXPECT_EQ(r.scene.objects[1].vertices.size(), 4u);
}

TEST(ThreeDsWalk, ZeroLengthChunkDoesNotHang) {
    Chunk zero(0x3D3D);
    zero.forceLength(0);
    Chunk main(0x4D4D);
    main.add(zero);
    const ReadResult r = readBytes(main.bytes());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.scene.objects.empty());
}

TEST(ThreeDsWalk, ChildReachingPastItsParentIsClipped) {
    // The vertex list claims far more bytes than its mesh holds.
    Chunk vertices = vertexList(square());
    vertices.forceLength(100000);
    Bytes file = model({object("A", {mesh({vertices})}), object("B", {mesh({vertexList(square())})})});
    const ReadResult r = readBytes(file);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.scene.objects.size(), 2u);
    EXPECT_EQ(r.scene.objects[0].vertices.size(), 4u);
    EXPECT_EQ(r.scene.objects[1].name, "B");
    EXPECT_EQ(r.scene.objects[1].vertices.size(), 4u);
}

TEST(ThreeDsWalk, CountsBeyondTheChunkReadOnlyWhatFits) {
    Chunk vertices(0x4110);
    vertices.u16(60000);  // claims 720,000 bytes
    vertices.f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(7);  // one whole entry and a bit
    Chunk faces(0x4120);
    faces.u16(65535).u16(0).u16(0).u16(0).u16(0);
    const ReadResult r = readBytes(oneMesh({vertices, faces}));
    ASSERT_EQ(r.scene.objects.size(), 1u);
    const MeshObject& o = r.scene.objects[0];
    ASSERT_EQ(o.vertices.size(), 2u);
    EXPECT_EQ(o.vertices[1].x, 4.0f);
    EXPECT_EQ(o.vertices[1].z, 6.0f);
    EXPECT_EQ(o.faces.size(), 1u);
    // The default group lists the faces that were read, not the claimed count.
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].faceIndices.size(), 1u);
    EXPECT_EQ(r.out, "Error reading file\nError reading file\n");
}

TEST(ThreeDsWalk, FileEndingInsideAHeaderStops) {
    Bytes file = oneMesh({vertexList(square())});
    Bytes longer = file;  // the main chunk claims 100 bytes more than the file has
    longer[2] = static_cast<std::uint8_t>((file.size() + 100) & 0xFF);
    longer[3] = static_cast<std::uint8_t>(((file.size() + 100) >> 8) & 0xFF);
    longer.push_back(0x10);  // three bytes of a header that never ends
    longer.push_back(0x00);
    longer.push_back(0x20);
    const ReadResult r = readBytes(longer);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.out, "Error reading file\n");
}

// --- names ------------------------------------------------------------------

TEST(ThreeDsNames, SixteenCharactersStayWhole) {
    const ReadResult r = readBytes(model({object("ABCDEFGHIJKLMNOP", {mesh({vertexList(square())})})}));
    ASSERT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.scene.objects[0].name, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(r.scene.objects[0].vertices.size(), 4u);
}

TEST(ThreeDsNames, LongerNamesAreCutAndConsumedWhole) {
    // The rest of the name and its terminator are skipped, so the mesh after it is found.
    const ReadResult r =
        readBytes(model({object("A_VERY_LONG_OBJECT_NAME_INDEED", {mesh({vertexList(square())})})}));
    ASSERT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.scene.objects[0].name, "A_VERY_LONG_OBJE");
    EXPECT_EQ(r.scene.objects[0].vertices.size(), 4u);
    EXPECT_TRUE(r.out.empty());
}

TEST(ThreeDsNames, UnterminatedNameStopsAtItsChunk) {
    Chunk name(0xA000);
    name.raw({'A', 'B', 'C'});  // no terminator
    const ReadResult r = readBytes(model({material({name, twoSided()})}));
    ASSERT_EQ(r.scene.materialDefs.size(), 1u);
    EXPECT_EQ(r.scene.materialDefs[0].name, "ABC");
    EXPECT_EQ(r.scene.materialDefs[0].twoSided, 1);
}

// --- objects and meshes -----------------------------------------------------

TEST(ThreeDsMesh, VerticesFacesAndMappingAsWritten) {
    const ReadResult r = readBytes(oneMesh({vertexList({{1.5f, -2, 3}, {4, 5, 6}, {7, 8, 9.25f}}),
                                            mapCoords({{0.25f, 0.5f}, {1, 0}, {0, 1}}),
                                            faceList({{0, 1, 2, 3}}, {faceGroup("Red", {0})})}));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.scene.objects.size(), 1u);
    const MeshObject& o = r.scene.objects[0];
    EXPECT_EQ(o.name, "Thing");
    ASSERT_EQ(o.vertices.size(), 3u);
    EXPECT_EQ(o.vertices[0].x, 1.5f);
    EXPECT_EQ(o.vertices[0].y, -2.0f);
    EXPECT_EQ(o.vertices[2].z, 9.25f);
    ASSERT_EQ(o.mapCoords.size(), 3u);
    EXPECT_EQ(o.mapCoords[0].u, 0.25f);
    EXPECT_EQ(o.mapCoords[0].v, 0.5f);
    ASSERT_EQ(o.faces.size(), 1u);
    EXPECT_EQ(o.faces[0].a, 0);
    EXPECT_EQ(o.faces[0].b, 1);
    EXPECT_EQ(o.faces[0].c, 2);
    EXPECT_EQ(o.faces[0].flags, 3);
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].materialName, "Red");
    EXPECT_EQ(o.faceGroups[0].faceIndices, std::vector<std::uint16_t>{0});
    EXPECT_FALSE(r.scene.needsDefaultMaterial);
    EXPECT_EQ(o.hasLocalMatrix, 0);
}

TEST(ThreeDsMesh, FlagSevenSwapsTheSecondAndThirdCorner) {
    std::vector<Face> faces;
    for (std::uint16_t flags : {0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFFFF}) faces.push_back({10, 20, 30, flags});
    const ReadResult r = readBytes(oneMesh({faceList(faces)}));
    const auto& out = r.scene.objects.at(0).faces;
    ASSERT_EQ(out.size(), faces.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        SCOPED_TRACE(out[i].flags);
        EXPECT_EQ(out[i].a, 10);
        if (out[i].flags == 7) {
            EXPECT_EQ(out[i].b, 30);
            EXPECT_EQ(out[i].c, 20);
        } else {
            EXPECT_EQ(out[i].b, 20);
            EXPECT_EQ(out[i].c, 30);
        }
    }
}

TEST(ThreeDsMesh, GroupsAfterSmoothingInsideTheFaceListAreFound) {
    const ReadResult r = readBytes(
        oneMesh({vertexList(square()),
                 faceList({{0, 1, 2}, {0, 2, 3}}, {smoothingGroups(2), faceGroup("Blue", {1, 0})})}));
    const MeshObject& o = r.scene.objects.at(0);
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].materialName, "Blue");
    EXPECT_EQ(o.faceGroups[0].faceIndices, (std::vector<std::uint16_t>{1, 0}));
    EXPECT_FALSE(r.scene.needsDefaultMaterial);
}

TEST(ThreeDsMesh, MeshWithoutGroupsGetsTheDefaultGroup) {
    const ReadResult r = readBytes(oneMesh({vertexList(square()), faceList({{0, 1, 2}, {0, 2, 3}, {1, 2, 3}})}));
    const MeshObject& o = r.scene.objects.at(0);
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].materialName, "QK_DEFAULT");
    EXPECT_EQ(o.faceGroups[0].faceIndices, (std::vector<std::uint16_t>{0, 1, 2}));
    EXPECT_TRUE(r.scene.needsDefaultMaterial);
}

TEST(ThreeDsMesh, MeshWithoutFacesGetsAnEmptyDefaultGroup) {
    const ReadResult r = readBytes(oneMesh({vertexList(square())}));
    const MeshObject& o = r.scene.objects.at(0);
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].materialName, "QK_DEFAULT");
    EXPECT_TRUE(o.faceGroups[0].faceIndices.empty());
    EXPECT_TRUE(r.scene.needsDefaultMaterial);
}

TEST(ThreeDsMesh, SecondMappingChunkOverwritesAndAppendsZeros) {
    const ReadResult r = readBytes(oneMesh({mapCoords({{1, 2}, {3, 4}, {5, 6}}), mapCoords({{7, 8}, {9, 10}})}));
    const auto& uv = r.scene.objects.at(0).mapCoords;
    ASSERT_EQ(uv.size(), 5u);
    EXPECT_EQ(uv[0].u, 7);
    EXPECT_EQ(uv[0].v, 8);
    EXPECT_EQ(uv[1].u, 9);
    EXPECT_EQ(uv[2].u, 5);
    EXPECT_EQ(uv[2].v, 6);
    EXPECT_EQ(uv[3].u, 0);
    EXPECT_EQ(uv[4].v, 0);
}

TEST(ThreeDsMesh, LocalMatrixIsKeptAndACutOneIsNot) {
    std::array<float, 12> m{1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7};
    ReadResult r = readBytes(oneMesh({localMatrix(m)}));
    EXPECT_EQ(r.scene.objects.at(0).hasLocalMatrix, 1);
    EXPECT_EQ(r.scene.objects.at(0).localMatrix, m);

    Chunk cut(0x4160);
    for (int i = 0; i < 11; ++i) cut.f32(9);  // one float short
    r = readBytes(oneMesh({cut}));
    EXPECT_EQ(r.scene.objects.at(0).hasLocalMatrix, 0);
    EXPECT_EQ(r.scene.objects.at(0).localMatrix, (std::array<float, 12>{}));
    EXPECT_EQ(r.out, "Error reading file\n");
}

TEST(ThreeDsMesh, LightsAndCamerasLeaveNoTrace) {
    Chunk light(0x4600);
    light.f32(1).f32(2).f32(3);
    Chunk camera(0x4700);
    for (int i = 0; i < 8; ++i) camera.f32(0);
    const ReadResult r = readBytes(model({object("Lamp", {light}), object("Cam", {camera}),
                                          object("Box", {mesh({vertexList(square())})})}));
    ASSERT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.scene.objects[0].name, "Box");
}

TEST(ThreeDsMesh, KeyframerAndUnknownChunksAreSkipped) {
    Chunk keyframer(0xB000);
    keyframer.add(Chunk(0xB002).raw(Bytes(40, 0x41)));
    Chunk unknown(0x7777);
    unknown.raw(Bytes(13, 0xFF));
    const ReadResult r = readBytes(model({unknown, object("Box", {mesh({unknown, vertexList(square())})})},
                                         {keyframer}));
    ASSERT_EQ(r.scene.objects.size(), 1u);
    EXPECT_EQ(r.scene.objects[0].vertices.size(), 4u);
    EXPECT_TRUE(r.out.empty());
}

// --- materials --------------------------------------------------------------

TEST(ThreeDsMaterial, TwentyFourBitColoursAreScaledBy256) {
    const ReadResult r = readBytes(model({simpleMaterial("M", {255, 128, 0}, {0, 0, 0}, {1, 2, 3})}));
    ASSERT_EQ(r.scene.materialDefs.size(), 1u);
    const MaterialDef& m = r.scene.materialDefs[0];
    EXPECT_EQ(m.name, "M");
    EXPECT_EQ(m.ambient, (std::array<float, 3>{0.99609375f, 0.5f, 0.0f}));
    EXPECT_EQ(m.specular, (std::array<float, 3>{1 / 256.0f, 2 / 256.0f, 3 / 256.0f}));
}

TEST(ThreeDsMaterial, FloatColoursAndTheLaterKindWins) {
    const ReadResult r = readBytes(model({material({
        colourBlock(0xA010, {colourFloat(0.1f, 0.2f, 0.3f)}),
        colourBlock(0xA020, {colourFloat(0.1f, 0.2f, 0.3f), colour24(128, 64, 32)}),
        colourBlock(0xA030, {colour24(128, 64, 32), Chunk(0x0012).u8(1).u8(2).u8(3), colourFloat(1, 1, 1)}),
    })}));
    const MaterialDef& m = r.scene.materialDefs.at(0);
    EXPECT_EQ(m.ambient, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(m.diffuse, (std::array<float, 3>{0.5f, 0.25f, 0.125f}));
    EXPECT_EQ(m.specular, (std::array<float, 3>{1, 1, 1}));
}

TEST(ThreeDsMaterial, ColourCutShortKeepsItsValue) {
    Chunk cut(0x0010);
    cut.f32(0.5f).f32(0.5f);  // blue missing
    const ReadResult r = readBytes(model({material({colourBlock(0xA020, {cut})})}));
    EXPECT_EQ(r.scene.materialDefs.at(0).diffuse, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(r.out, "Error reading file\n");
}

TEST(ThreeDsMaterial, TransparencyPercentages) {
    struct Case {
        std::vector<Chunk> children;
        float alpha;
    };
    const std::vector<Case> cases{
        {{percent(0)}, 1.0f},
        {{percent(1)}, 0.01f},
        {{percent(50)}, 0.5f},
        {{percent(90)}, 0.9f},
        {{percent(100)}, 1.0f},
        {{percent(20), percent(40)}, 0.4f},
        {{}, 1.0f},                              // no percentage at all counts as 0 %
        {{Chunk(0x0031).f32(50.0f)}, 1.0f},      // float percentages are not read
    };
    for (const auto& c : cases) {
        const ReadResult r = readBytes(model({material({materialName("T"), transparency(c.children)})}));
        EXPECT_EQ(r.scene.materialDefs.at(0).alpha, c.alpha);
    }
}

TEST(ThreeDsMaterial, WithoutTransparencyAMaterialIsOpaque) {
    const ReadResult r = readBytes(model({simpleMaterial("Opaque", {1, 1, 1}, {1, 1, 1}, {1, 1, 1})}));
    EXPECT_EQ(r.scene.materialDefs.at(0).alpha, 1.0f);
}

TEST(ThreeDsMaterial, TwoSidedTextureAndMissingName) {
    Chunk secondMap(0xA200);
    secondMap.add(Chunk(0xA300).name("OTHER.TGA"));
    const ReadResult r = readBytes(model({
        material({materialName("Tex"), twoSided(), textureMap("IMAGE1.JPG")}),
        material({colourBlock(0xA020, {colour24(0, 0, 255)})}),
        material({Chunk(0xA33A).add(Chunk(0xA300).name("BUMP.TGA")), textureMap("WOOD.BMP")}),
    }));
    ASSERT_EQ(r.scene.materialDefs.size(), 3u);
    EXPECT_EQ(r.scene.materialDefs[0].name, "Tex");
    EXPECT_EQ(r.scene.materialDefs[0].twoSided, 1);
    EXPECT_EQ(r.scene.materialDefs[0].textureFile, "IMAGE1.JPG");
    EXPECT_EQ(r.scene.materialDefs[1].name, "");
    EXPECT_EQ(r.scene.materialDefs[1].twoSided, 0);
    EXPECT_EQ(r.scene.materialDefs[1].textureFile, "");
    // Only the first texture map's name counts; other map kinds are skipped.
    EXPECT_EQ(r.scene.materialDefs[2].textureFile, "WOOD.BMP");
}

TEST(ThreeDsMaterial, MaterialsAndObjectsKeepFileOrder) {
    const ReadResult r = readBytes(model({
        simpleMaterial("First", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}),
        object("One", {mesh({vertexList(square())})}),
        simpleMaterial("Second", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}),
        object("Two", {mesh({vertexList(square())})}),
    }));
    ASSERT_EQ(r.scene.materialDefs.size(), 2u);
    EXPECT_EQ(r.scene.materialDefs[0].name, "First");
    EXPECT_EQ(r.scene.materialDefs[1].name, "Second");
    ASSERT_EQ(r.scene.objects.size(), 2u);
    EXPECT_EQ(r.scene.objects[0].name, "One");
    EXPECT_EQ(r.scene.objects[1].name, "Two");
}
