#include "platform/Diagnostics.h"

#include <cstdarg>
#include <clocale>
#include <cstdio>
#include <vector>

#include <locale.h>

namespace velmora {

namespace {

// Switches this thread to the "C" locale while it formats, so that "%f" and
// "%g" write a decimal point whatever locale the desktop set.
class CLocaleScope {
public:
    CLocaleScope() : previous_(cLocale() ? ::uselocale(cLocale()) : nullptr) {}
    ~CLocaleScope() {
        if (previous_) ::uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t cLocale() {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return c;
    }
    locale_t previous_;
};

std::string vformat(const char* format, va_list args) {
    const CLocaleScope cLocale;
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(n));
}
}  // namespace

Diagnostics standardOutput() {
    return [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
    };
}

void report(const Diagnostics& sink, const char* format, ...) {
    if (!sink) return;
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    sink(text);
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

}  // namespace velmora
