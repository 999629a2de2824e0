#pragma once
// How the mesh model gets texture objects for its materials without knowing
// the picture formats: the owner of the model hands in a factory.

#include <functional>
#include <string>

namespace velmora {

// Creates an OpenGL texture object from the texture file a material names
// (`modelPath` is the model file, for finding textures beside it). Returns
// the texture name, or 0 when the texture could not be made (the factory has
// then shown its messages). Runs with the model's OpenGL context current.
using TextureFactory = std::function<unsigned(const std::string& textureFile, const std::string& modelPath)>;

}  // namespace velmora
