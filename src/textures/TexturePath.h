#pragma once
// Where a texture file named by a model is found. Models name their textures
// in upper-case 8.3 form (IMAGE1.JPG) while the files on disk are often in
// another letter case, and they are usually kept beside the model.

#include <string>

namespace velmora {

// Tries, in order: the name as given (relative to the current directory),
// the name in the model file's folder, then the name in that folder ignoring
// letter case (either slash separates folders there). Returns the first that
// names a file, or the name as given when none does.
std::string findTextureFile(const std::string& textureFile, const std::string& modelPath);

}  // namespace velmora
