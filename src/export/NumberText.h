#pragma once
// Exact, fast text for the numbers of the point files. Every function writes
// the same characters as the printf conversion it names and returns the end
// of what it wrote; the caller provides room (kMaxFixedChars for a double).

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// Longest "%f" text of a double: sign, 309 integer digits, point, 6 decimals.
constexpr std::size_t kMaxFixedChars = 320;

// "%d"
char* appendInt(char* out, std::int64_t value);
// "%f": fixed notation, six decimals, "-" for every negative value including
// -0.0 and small negatives that round to zero; "inf", "nan" as printf.
char* appendFixed6(char* out, double value);
// "%.1f"
char* appendFixed1(char* out, double value);

// The same as std::string, for texts that are not on a hot path.
std::string fixed6(double value);
std::string fixed1(double value);

}  // namespace velmora
