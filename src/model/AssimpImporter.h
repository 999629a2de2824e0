#pragma once
// Models in the formats people mostly have (OBJ with MTL, STL, PLY meshes,
// glTF 2.0, COLLADA, FBX), read with the Open Asset Import Library and turned
// into the same file image the .3ds reader produces, so that everything after
// it is unchanged.
//
// How the file image is made:
//  - Every mesh reached from the node tree becomes one MeshObject per use,
//    the transforms from the root down baked into its positions; a mesh used
//    by several nodes appears once per node. A transform that mirrors keeps
//    the faces' front side by reversing their winding.
//  - Faces are triangulated; points and lines are dropped. Vertices that
//    differ only in their normal are joined: the model computes its own
//    smoothed normals, as for .3ds files.
//  - Positions are stored so that the model builder's axis conversion gives
//    back the source's axes: the importer's right-handed y-up (x, y, z) is
//    stored as (-x, z, y), each face as (a, c, b). The source's up is the
//    view's up and nothing is mirrored. FBX files that declare other axes
//    are brought to y-up first; formats without a declared up axis (STL,
//    PLY, OBJ) are taken as y-up.
//  - A mesh with more than 65,535 vertices or faces is split into several
//    objects of at most 65,535 each; nothing is dropped.
//  - One face group per mesh, naming the mesh's material. Materials carry
//    ambient, diffuse and specular colours, opacity as alpha, two-sidedness,
//    and the first diffuse (else base colour) texture as their texture file.
//    Names are cut to 16 characters and made unique. A missing ambient
//    colour takes the diffuse one.
//  - Textures embedded in the file (glTF data URIs and .glb buffers, FBX)
//    are written once into a folder of this process under the system's
//    temporary folder, removed when the process ends; the material names
//    that file by its absolute path.

#include "model/ParsedScene.h"
#include "platform/Diagnostics.h"
#include "platform/Prompt.h"

#include <string>
#include <vector>

namespace velmora {

// Whether the file's extension (any letter case) is one of the formats read
// here: obj, stl, ply, gltf, glb, dae, fbx. .3ds files are not: they have
// their own reader.
bool isAssimpModel(const std::string& path);

// Open-dialog filters: "3D Studio Files" (*.3DS) first, then "All supported
// models" with .3ds and every format above.
std::vector<FileFilter> modelFileFilters();

class AssimpImporter {
public:
    // `prompt` shows the "Failed to open" box; `diagnostics` receives the
    // lines about files that cannot be parsed.
    AssimpImporter(Prompt& prompt, Diagnostics diagnostics = standardOutput());

    // Reads the model into `scene` (which is replaced). False when the file
    // cannot be opened ("Failed to open %s\n" in a box captioned "Error"),
    // cannot be parsed ("Failed to parse %s\n" and the library's reason on
    // the diagnostics) or holds no triangle ("No triangles in %s\n").
    bool readFile(const std::string& path, ParsedScene& scene);


private:
    Prompt& prompt_;
    Diagnostics diagnostics_;
};

// AssimpImporter(prompt, diagnostics).readFile(path, scene).
bool importModel(const std::string& path, ParsedScene& scene, Prompt& prompt,
                 Diagnostics diagnostics = standardOutput());

}  // namespace velmora
