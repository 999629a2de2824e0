#pragma once
// A failure after which the program cannot go on: the person has been told
// why, and the program ends with `status`. The core only says so; ending the
// process is the program's decision.

namespace velmora {

struct ProgramEnd {
    int status = 0;
};

}  // namespace velmora
