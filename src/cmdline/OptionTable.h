#pragma once
// One table of a program's options gives both its parse loop and its
// --help, so the two cannot drift apart, and every program reads its
// arguments the same way: `--name value`, `--name=value`, `-o value`, and
// `--` ending the options (every argument after it is a file).

#include "cmdline/OptionValue.h"
#include "platform/Result.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Takes a row's value (monostate for a switch); false refuses it as not
// what the row expects, for the checks that go beyond the value's kind.
using OptionSetter = std::function<bool(const OptionValue&)>;

struct OptionRow {
    const char* before;  // text --help prints before the row (headings), or nullptr
    const char* names;   // the spellings, space-separated
    ValueKind kind;
    const char* usage;  // the left column of --help; nullptr: the row shares the previous row's line
    const char* help;   // the right column; '\n' starts a continuation line
    OptionSetter set;
    const char* expects = nullptr;  // what a refused value should have been; nullptr: as its kind says
};

// The --help lines both programs print about how options are written.
extern const char* const kOptionSyntaxHelp;

class OptionTable {
public:
    OptionTable& add(std::vector<OptionRow> rows);

    // Hands each option of `args` to its row's setter; the other arguments
    // come back in order. The first mistake fails in one line.
    Result<std::vector<std::string>> parse(const std::vector<std::string>& args) const;

    // The rows as --help lists them: the help column after two spaces and a
    // 23-character option column.
    std::string help() const;

private:
    const OptionRow* find(const std::string& name) const;
    Result<void> read(const std::vector<std::string>& args, std::size_t& i) const;

    std::vector<OptionRow> rows_;
};

// Setters for the common rows: store the value in `field`, or set a flag.
template <class T>
OptionSetter storeIn(T& field) {
    return [&field](const OptionValue& value) {
        field = std::get<T>(value);
        return true;
    };
}

template <class T>
OptionSetter storeIn(std::optional<T>& field) {
    return [&field](const OptionValue& value) {
        field = std::get<T>(value);
        return true;
    };
}

inline OptionSetter setFlag(bool& flag, bool to = true) {
    return [&flag, to](const OptionValue&) {
        flag = to;
        return true;
    };
}

}  // namespace velmora
