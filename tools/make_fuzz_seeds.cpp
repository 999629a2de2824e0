// Writes seed inputs for the .3ds reader's fuzz harness: small files that
// reach every chunk the reader knows, well-formed and broken.
// Usage: make_fuzz_seeds OUTPUT_FOLDER   (files go to OUTPUT_FOLDER/threeds/)

#include "support/ThreeDsBuilder.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace velmora::testing;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/threeds";
    ::mkdir(argv[1], 0755);
    ::mkdir(out.c_str(), 0755);

    const std::vector<Vec3> quad{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    Chunk shortChunk(0x4110);
    shortChunk.forceLength(2);
    Chunk longCount(0x4120);
    longCount.u16(60000).u16(0).u16(1).u16(2).u16(7);

    const std::vector<Bytes> seeds{
        model({}),
        model({simpleMaterial("Red", {255, 0, 0}, {255, 0, 0}, {255, 255, 255},
                              {transparency({percent(30)}), twoSided(), textureMap("IMAGE1.JPG")}),
               object("Quad", {mesh({vertexList(quad), mapCoords({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                                     localMatrix({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}),
                                     faceList({{0, 1, 2, 7}, {0, 2, 3, 0}},
                                              {smoothingGroups(2), faceGroup("Red", {0, 1})})})})}),
        model({object("NoGroups", {mesh({vertexList(quad), faceList({{0, 1, 2}, {0, 2, 3}})})}),
               object("Lamp", {Chunk(0x4600).f32(1).f32(2).f32(3)})}),
        model({material({colourBlock(0xA010, {colourFloat(0.5f, 0.25f, 1)}), transparency({})}),
               object("A_VERY_LONG_OBJECT_NAME", {mesh({shortChunk, vertexList(quad)})})}),
        model({object("Broken", {mesh({vertexList(quad), longCount})})}),
    };
    int written = 0;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = out + "/seed" + std::to_string(i) + ".3ds";
        if (!writeFile(path, seeds[i])) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("make_fuzz_seeds: %d seeds in %s\n", written, out.c_str());
    return 0;
}
