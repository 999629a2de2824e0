#pragma once
// A parsed model as text, one line per material, object and list, so that a
// test states what it expects as one block of text written from the bytes it built.

#include "model/ParsedScene.h"

#include <charconv>
#include <string>

namespace velmora::testing {

// The shortest text that reads back as the same float.
inline std::string num(float f) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, f).ptr);
}
template <typename... F> std::string nums(F... f) {
    std::string s;
    ((s += (s.empty() ? "" : ",") + num(float(f))), ...);
    return s;
}

inline std::string dumpScene(const ParsedScene& scene) {
    std::string s;
    for (const MaterialDef& m : scene.materialDefs) {
        const auto rgb = [](const std::array<float, 3>& c) { return nums(c[0], c[1], c[2]); };
        s += "material '" + m.name + "' ambient " + rgb(m.ambient) + " diffuse " + rgb(m.diffuse) + " specular " +
             rgb(m.specular) + " alpha " + num(m.alpha) + (m.twoSided ? " two-sided" : "") +
             (m.textureFile.empty() ? "" : " texture " + m.textureFile) + "\n";
    }
    for (const MeshObject& o : scene.objects) {
        s += "object '" + o.name + "'\n";
        std::string line;
        const auto list = [&s, &line](const char* name) {
            if (!line.empty()) s += std::string(" ") + name + line + "\n";
            line.clear();
        };
        for (const auto& v : o.vertices) line += " " + nums(v.x, v.y, v.z);
        list("vertices");
        for (const auto& f : o.faces) line += " " + nums(f.a, f.b, f.c) + "/" + num(f.flags);
        list("faces");
        for (const auto& c : o.mapCoords) line += " " + nums(c.u, c.v);
        list("uv");
        for (const auto& g : o.faceGroups) {
            line = " '" + g.materialName + "'";
            for (auto f : g.faceIndices) line += " " + num(f);
            list("group");
        }
        for (int i = 0; o.hasLocalMatrix && i < 12; ++i) line += (i ? "," : " ") + num(o.localMatrix[i]);
        list("matrix");
    }
    return s + (scene.needsDefaultMaterial ? "needs the default material\n" : "");
}

}  // namespace velmora::testing
