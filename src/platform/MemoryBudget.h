#pragma once
// How much memory this process may still take: the least of what the system
// has available (MemAvailable), what its control group still allows and what
// its address-space limit leaves. Large allocations are weighed against it up
// front, so a job too large for the machine is refused with a sentence
// instead of dying half-way.

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Bytes still available; nothing when no limit could be read at all.
// `root` prefixes /proc and /sys (tests point it at a prepared folder).
std::optional<std::uint64_t> availableMemory(const std::string& root = "");

// "needs 3.2 GiB, 1.5 GiB available" when `needed` exceeds what is
// available; nothing when it fits or nothing is known.
std::optional<std::string> memoryShortfall(std::uint64_t needed, const std::string& root = "");

}  // namespace velmora
