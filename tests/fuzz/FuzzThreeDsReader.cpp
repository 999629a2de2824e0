// Arbitrary bytes into the .3ds reader: what it builds must fit in the input.

#include "model/ThreeDsReader.h"
#include "platform/RecordingPrompt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::RecordingPrompt prompt;
    velmora::ParsedScene scene;
    velmora::ThreeDsReader reader(prompt, [](std::string_view) {});
    reader.readMemory(data, size, scene);
    // Every record comes from at least its chunk header in the input, so nothing can be larger than the input allows.
    std::size_t entries = 0;
    for (const auto& o : scene.objects) {
        entries += o.vertices.size() * 12 + o.faces.size() * 8 + o.mapCoords.size() * 8;
        for (const auto& g : o.faceGroups) {
            if (g.materialName.size() > 16) std::abort();
            if (g.materialName != velmora::kDefaultMaterialName) entries += g.faceIndices.size() * 2;
        }
        if (o.name.size() > 16) std::abort();
    }
    for (const auto& m : scene.materialDefs) if (m.name.size() > 16 || m.textureFile.size() > 16) std::abort();
    // Map coordinates may be counted twice (a second chunk appends as many
    // entries as it overwrites), everything else once.
    if (entries > 2 * size) std::abort();
    return 0;
}
