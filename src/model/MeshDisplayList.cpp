// Compilation of the model into its one display list over an interleaved
// vertex array in system memory.

#include "model/GlErrorReporter.h"
#include "model/MeshModel.h"
#include "platform/Prompt.h"

#include <GL/gl.h>

#include <algorithm>
#include <new>
#include <vector>

namespace velmora {

bool MeshModel::allocateVertexArray() {
    const std::size_t count = vertices_.size();
    vertexArray_ = {};  // the previous array goes first
    try {
        if (count > vertexArrayLimit_) throw std::bad_alloc();
        vertexArray_.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
        vertexArray_ = {};
        return false;
    }
}

bool MeshModel::compileDisplayList() {
    if (!allocateVertexArray()) return false;
    std::copy(vertices_.begin(), vertices_.end(), vertexArray_.begin());
    glInterleavedArrays(GL_T2F_N3F_V3F, 0, vertexArray_.data());

    glNewList(displayList_, GL_COMPILE);
    std::vector<GLuint> indices;
    for (const MeshMaterial& m : materials_) {
        indices.clear();
        indices.reserve(3 * m.triangles.size());
        for (const ModelTriangle& t : m.triangles) {
            indices.push_back(static_cast<GLuint>(t.i0));
            indices.push_back(static_cast<GLuint>(t.i1));
            indices.push_back(static_cast<GLuint>(t.i2));
        }
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient.data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse.data());
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular.data());
        glBindTexture(GL_TEXTURE_2D, m.textureId);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    }
    glEndList();

    reportGlErrors(prompt_);
    return true;
}

}  // namespace velmora
