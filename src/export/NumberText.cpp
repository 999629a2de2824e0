#include "export/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace velmora {

char* appendInt(char* out, std::int64_t value) {
    return std::to_chars(out, out + 24, value).ptr;
}

namespace {

// printf spells the non-finite values "inf", "-inf", "nan", "-nan".
char* appendNonFinite(char* out, double value) {
    const char* text = std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan")
                                         : (value < 0 ? "-inf" : "inf");
    std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

char* appendFixed(char* out, double value, int decimals) {
    if (!std::isfinite(value)) return appendNonFinite(out, value);
    // std::to_chars with a precision rounds the exact binary value to the
    // nearest decimal, ties to even, and keeps the sign of -0.0: exactly
    // what printf does in the default rounding mode.
    return std::to_chars(out, out + kMaxFixedChars, value, std::chars_format::fixed, decimals).ptr;
}

}  // namespace

char* appendFixed6(char* out, double value) { return appendFixed(out, value, 6); }
char* appendFixed1(char* out, double value) { return appendFixed(out, value, 1); }

std::string fixed6(double value) {
    char buffer[kMaxFixedChars];
    return std::string(buffer, appendFixed6(buffer, value));
}

std::string fixed1(double value) {
    char buffer[kMaxFixedChars];
    return std::string(buffer, appendFixed1(buffer, value));
}

}  // namespace velmora
