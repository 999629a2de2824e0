#pragma once
// The exit statuses of velmora-export and velmora-holo, as their --help and
// the README list them.

namespace velmora {

enum class ExitStatus : int {
    Success = 0,
    Unreadable = 1,  // the model or a point file cannot be read
    Usage = 2,
    Failed = 3,  // an export or a hologram failed or was refused
    NoOpenGL = 4,
};

}  // namespace velmora
