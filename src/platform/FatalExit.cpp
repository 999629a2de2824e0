#include "platform/FatalExit.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velmora {

namespace {
FatalExitHandler& currentHandler() {
    static FatalExitHandler handler;
    return handler;
}
}  // namespace

void fatalExit(int status) {
    if (auto& handler = currentHandler()) handler(status);
    std::fflush(nullptr);
    std::_Exit(status);
}

ScopedFatalExitHandler::ScopedFatalExitHandler(FatalExitHandler handler)
    : previous_(std::exchange(currentHandler(), std::move(handler))) {}

ScopedFatalExitHandler::~ScopedFatalExitHandler() { currentHandler() = std::move(previous_); }

}  // namespace velmora
