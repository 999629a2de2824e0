#include "model/GlErrorReporter.h"

#include "platform/Prompt.h"

#include <GL/gl.h>

namespace velmora {

const char* glErrorText(unsigned code) {
    switch (code) {
        case GL_INVALID_ENUM: return "glGetError reports GL_INVALID_ENUM when compiling display list";
        case GL_INVALID_VALUE: return "glGetError reports GL_INVALID_VALUE when compiling display list";
        case GL_INVALID_OPERATION: return "glGetError reports GL_INVALID_OPERATION when compiling display list";
        case GL_STACK_OVERFLOW: return "glGetError reports GL_STACK_OVERFLOW when compiling display list";
        case GL_STACK_UNDERFLOW: return "glGetError reports GL_STACK_UNDERFLOW when compiling display list";
        case GL_OUT_OF_MEMORY: return "glGetError reports GL_OUT_OF_MEMORY when compiling display list";
        default: return nullptr;
    }
}

void reportGlErrors(Prompt& prompt) {
    // Each error flag clears when it is read, so the loop ends; the bound
    // only guards against a lost context, which may report itself forever.
    for (int drained = 0; drained < 64; ++drained) {
        const GLenum code = glGetError();
        if (code == GL_NO_ERROR) return;
        if (const char* text = glErrorText(code)) prompt.show(text);
    }
}

}  // namespace velmora
