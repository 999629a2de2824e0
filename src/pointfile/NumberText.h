#pragma once
// Exact, fast text for the numbers of the point files. Every function writes
// the same characters as the printf conversion it names and returns the end
// of what it wrote; the caller provides room (kMaxFixedChars for a double).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

// A short number text kept ready, for values drawn from a small set (the
// phase of every draw, the fraction of every channel value): computed once
// per run, then copied with one fixed-size move.
struct ReadyText {
    char text[32];
    std::size_t size;
};

// The texts of make(0) .. make(count - 1); `write(char* out, value)` writes
// one and returns its end.
template <class Value, class Write>
std::vector<ReadyText> readyTexts(int count, Value&& make, Write&& write) {
    std::vector<ReadyText> texts(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ReadyText& ready = texts[static_cast<std::size_t>(i)];
        ready.size = static_cast<std::size_t>(write(ready.text, make(i)) - ready.text);
    }
    return texts;
}

// Copies the whole buffer (the caller has room for it) and returns the end
// of the text.
inline char* put(char* out, const ReadyText& ready) {
    std::memcpy(out, ready.text, sizeof ready.text);
    return out + ready.size;
}

}  // namespace velmora
