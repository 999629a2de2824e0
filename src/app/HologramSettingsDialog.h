#pragma once
// The form File > Hologram asks before it computes: the hologram's size,
// pixel pitch, distance or fit, and method, and the device the pictures are
// for (encoding, bits, levels, phase range, carrier), which pass the same
// checks as velmora-holo's options. The last answer is kept in the
// per-user profile, in whole micro-units (the store holds integers), and is
// what the form shows the next time, in this run or the next.

#include "hologram/HologramSettings.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"

#include <optional>

namespace velmora {

// `settings` gives every choice the form does not ask, and the defaults of
// those the profile does not hold yet. Nothing when the person cancels; an
// answer out of range is said and asked again.
std::optional<HologramSettings> askHologramSettings(Prompt& prompt, SettingsStore& store, HologramSettings settings);

}  // namespace velmora
