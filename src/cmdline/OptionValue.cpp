#include "cmdline/OptionValue.h"

#include "platform/DecimalText.h"

#include <charconv>
#include <optional>
#include <type_traits>

namespace velmora {

namespace {

bool hasBlank(std::string_view text) { return text.find_first_of(" \t\n\r\v\f") != std::string_view::npos; }

template <class T>
std::optional<T> readNumber(std::string_view text) {
    if (hasBlank(text)) return std::nullopt;
    if constexpr (std::is_same_v<T, float>)
        return parseDecimal(text);
    else
        return parseDecimalDouble(text);
}

// Digits only: from_chars alone would take a minus sign.
template <class T>
std::optional<T> readDigits(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    T value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<PixelSize> readSize(std::string_view text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    const auto width = readDigits<int>(text.substr(0, x));
    const auto height = readDigits<int>(text.substr(x + 1));
    if (!width || !height) return std::nullopt;
    return PixelSize{*width, *height};
}

std::optional<std::array<float, 3>> readThree(std::string_view text, char separator) {
    std::array<float, 3> values{};
    for (std::size_t i = 0; i < 3; ++i) {
        const bool last = i == 2;
        const std::size_t end = text.find(separator);
        if (last != (end == std::string_view::npos)) return std::nullopt;
        const auto value = readNumber<float>(text.substr(0, end));
        if (!value) return std::nullopt;
        values[i] = *value;
        if (!last) text.remove_prefix(end + 1);
    }
    return values;
}

template <class T>
OptionValue orNone(const std::optional<T>& value) {
    return value ? OptionValue(*value) : OptionValue();
}

}  // namespace

OptionValue readOptionValue(ValueKind kind, std::string_view text) {
    switch (kind) {
        case ValueKind::None: break;
        case ValueKind::Text: return text.empty() ? OptionValue() : OptionValue(std::string(text));
        case ValueKind::Float: return orNone(readNumber<float>(text));
        case ValueKind::Double: return orNone(readNumber<double>(text));
        case ValueKind::Whole: return orNone(readDigits<std::uint32_t>(text));
        case ValueKind::Size: return orNone(readSize(text));
        case ValueKind::Triple: return orNone(readThree(text, ','));
        case ValueKind::Range: return orNone(readThree(text, ':'));
    }
    return {};
}

const char* describeValue(ValueKind kind) {
    switch (kind) {
        case ValueKind::None: break;
        case ValueKind::Text: return "a file name";
        case ValueKind::Float:
        case ValueKind::Double: return "a number";
        case ValueKind::Whole: return "a whole number from 0 to 4294967295";
        case ValueKind::Size: return "a size like 800x600";
        case ValueKind::Triple: return "three numbers like 0,0,30";
        case ValueKind::Range: return "a range like -1:1:0.5";
    }
    return "";
}

}  // namespace velmora
