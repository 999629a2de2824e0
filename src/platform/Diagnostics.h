#pragma once
// Where the readers' diagnostic lines go. The program writes them to standard
// output; tests collect them.

#include <functional>
#include <string>
#include <string_view>

namespace velmora {

using Diagnostics = std::function<void(std::string_view line)>;

// Writes to standard output, as the program does.
Diagnostics standardOutput();
// Format like printf in the "C" locale (a decimal point in every locale);
// report hands the result to the sink.
void report(const Diagnostics& sink, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace velmora
