#pragma once
// The exit statuses of velmora-export, as --help lists them.

namespace velmora {

enum class ExitStatus : int {
    Success = 0,
    ModelUnreadable = 1,
    Usage = 2,
    ExportFailed = 3,  // an export failed or was refused
    NoOpenGL = 4,
};

}  // namespace velmora
