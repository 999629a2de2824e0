#pragma once
// The one way the program ends on a fatal condition: output streams are
// flushed and the process ends at once with the given status, without
// saving anything. Tests install a handler that turns the exit into an
// exception of their own so the path can be checked.

#include <functional>

namespace velmora {

using FatalExitHandler = std::function<void(int status)>;

[[noreturn]] void fatalExit(int status);

// Installs a handler for the lifetime of the object and restores the previous
// one afterwards. A handler must not return normally (throw or jump instead);
// if it does, the process ends as without it.
class ScopedFatalExitHandler {
public:
    explicit ScopedFatalExitHandler(FatalExitHandler handler);
    ~ScopedFatalExitHandler();
    ScopedFatalExitHandler(const ScopedFatalExitHandler&) = delete;
    ScopedFatalExitHandler& operator=(const ScopedFatalExitHandler&) = delete;

private:
    FatalExitHandler previous_;
};

}  // namespace velmora
