#pragma once
// Numbers a person types or reads: the same text in every locale. A desktop
// with a decimal comma switches the C runtime's locale, so strtod and printf
// would read "0.5" as 0 and show "0,5"; these never consult the locale.

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A decimal number with optional blanks around it and an optional sign,
// point and exponent, that fits a float. Nothing for any other text: also
// "nan", "inf", hexadecimal floats and values beyond the float range.
std::optional<float> parseDecimal(std::string_view text);

// The same rules for a double: for lengths that must keep every digit they
// were given. The float above is this value rounded.
std::optional<double> parseDecimalDouble(std::string_view text);

// A float in general notation with six significant digits ("%g").
std::string generalText(float value);

}  // namespace velmora
