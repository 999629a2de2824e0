#pragma once
// Drains the OpenGL error flags and shows one message box per known code.

namespace velmora {

class Prompt;

// Reads glGetError until it reports no error. For each listed code shows its
// fixed text in the framework's box (OK button) and waits; unlisted codes are
// skipped. Needs a current OpenGL context.
void reportGlErrors(Prompt& prompt);

// The text shown for an OpenGL error code, or nullptr for an unlisted code.
const char* glErrorText(unsigned code);

}  // namespace velmora
