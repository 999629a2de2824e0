#pragma once
// The hologram options every program takes, parsed in one place so that
// they mean the same everywhere. A program hands each argument that starts
// with "--holo" to parseHologramOption() and prints hologramOptionsHelp()
// in its --help.

#include "hologram/HologramOutputs.h"
#include "hologram/HologramSettings.h"

#include <string>

namespace velmora {

struct HologramOptions {
    HologramSettings settings;
    HologramOutputRequest output;  // prefix left to the program
};

enum class OptionMatch {
    NotMine,      // not a hologram option
    TakenAlone,   // consumed `name` only
    TakenValue,   // consumed `name` and `value`
    Invalid,      // a hologram option with a bad or missing value; see error
};

// `value` is the argument after `name` (nullptr when there is none).
OptionMatch parseHologramOption(const std::string& name, const char* value, HologramOptions& options,
                                std::string& error);

const char* hologramOptionsHelp();

}  // namespace velmora
