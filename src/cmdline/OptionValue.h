#pragma once
// How the text of an option's value becomes a value. The rules are the
// platform's number rules made strict for a command line: a value is one
// argument, so a blank in it is a mistake (a quoted " 5" is refused), and
// sizes and whole numbers are digits only.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace velmora {

enum class ValueKind {
    None,    // a switch, no value
    Text,    // any text but the empty one: a file name, a word
    Float,   // a decimal number that fits a float
    Double,  // a decimal number that fits a double
    Whole,   // digits, 0 to 4294967295
    Size,    // digits 'x' digits
    Triple,  // three floats "X,Y,Z"
    Range,   // three floats "L:R:STEP"
};

struct PixelSize {
    int width = 0, height = 0;
};

// monostate: a switch's "value", and no value at all when the text is wrong.
using OptionValue =
    std::variant<std::monostate, std::string, float, double, std::uint32_t, PixelSize, std::array<float, 3>>;

// The value `text` is as `kind`, or monostate.
OptionValue readOptionValue(ValueKind kind, std::string_view text);

// What a value of `kind` looks like, for the message that refuses one.
const char* describeValue(ValueKind kind);

}  // namespace velmora
