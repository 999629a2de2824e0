#pragma once
// The files one command is going to write, checked before anything is
// computed: a missing folder, a write-protected target or two outputs of one
// name are refused in the first moment rather than after the work.

#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct OutputRefusal {
    std::string name;
    std::string reason;
    // "cannot write NAME: reason"
    std::string text() const;
};

// The first of `names` that cannot be written: one OutputFile would refuse
// (no file part, a folder, write-protected), one whose folder is missing or
// closed to the user, or one that another of the names reaches too (after
// links and "..", so both writes would land in one file). Devices, FIFOs and
// sockets take every write in turn and may be named more than once.
std::optional<OutputRefusal> checkOutputs(const std::vector<std::string>& names);

// A prefix that file names are made from (PREFIX-preview.png) needs a file
// part of its own: "" and "dir/" would make hidden or stray names.
std::optional<OutputRefusal> checkOutputPrefix(const std::string& prefix);

}  // namespace velmora
