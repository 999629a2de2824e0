#pragma once
// The --holo-* options. Every program adds these same rows to its table,
// so that they mean the same everywhere and --help lists them alike.

#include "cmdline/OptionTable.h"
#include "hologram/HologramOutputs.h"
#include "hologram/HologramSettings.h"

#include <vector>

namespace velmora {

struct HologramOptions {
    HologramSettings settings;
    HologramOutputRequest output;  // prefix left to the program
    bool given = false;            // any --holo-* option was on the command line
    std::string deviceRefusal;     // why a device option's file cannot be used
    bool score = false;            // print how close the reconstruction comes to the points
};

// The rows, writing into `options`; the first one's heading starts with a
// blank line.
std::vector<OptionRow> hologramOptionRows(HologramOptions& options);

// The checks across the device options, once all are read.
Result<void> checkHologramOptions(const HologramOptions& options);

}  // namespace velmora
