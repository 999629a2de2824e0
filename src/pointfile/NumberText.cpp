#include "pointfile/NumberText.h"

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

// Six decimals with integer arithmetic: a double below 2^43 is m / 2^s with
// a 53-bit m, so m × 10^6 is exact in 128 bits and one shift with a
// ties-to-even correction gives the rounded count of millionths.
char* appendFixed6(char* out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    if (exponent >= 1023 + 43) return appendFixed(out, value, 6);  // also inf and nan
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa = exponent == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int shift = exponent == 0 ? 1074 : 1075 - exponent;  // value = mantissa / 2^shift, shift >= 10
    std::uint64_t millionths = 0;
    if (shift < 128) {
        const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 1000000u;
        millionths = static_cast<std::uint64_t>(scaled >> shift);
        const unsigned __int128 rest = scaled & ((static_cast<unsigned __int128>(1) << shift) - 1);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rest > half || (rest == half && (millionths & 1))) ++millionths;
    }  // else below 2^-75: rounds to zero
    if (bits >> 63) *out++ = '-';
    out = std::to_chars(out, out + 24, millionths / 1000000).ptr;
    *out++ = '.';
    std::uint64_t decimals = millionths % 1000000;
    for (int i = 6; i-- > 0;) {
        out[i] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    return out + 6;
}
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
