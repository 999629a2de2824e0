#include "cmdline/OptionTable.h"

namespace velmora {

namespace {

constexpr std::size_t kOptionColumn = 23;

bool hasName(const OptionRow& row, const std::string& name) {
    const std::string names = std::string(" ") + row.names + " ";
    return names.find(" " + name + " ") != std::string::npos;
}

}  // namespace

const char* const kOptionSyntaxHelp =
    "A value follows its option as the next argument or after '=' (--name=value);\n"
    "every argument after '--' is a file, even one that starts with '-'.\n";

OptionTable& OptionTable::add(std::vector<OptionRow> rows) {
    for (OptionRow& row : rows) rows_.push_back(std::move(row));
    return *this;
}

const OptionRow* OptionTable::find(const std::string& name) const {
    for (const OptionRow& row : rows_)
        if (hasName(row, name)) return &row;
    return nullptr;
}

// Reads the option at args[i], advancing i past a separate value.
Result<void> OptionTable::read(const std::vector<std::string>& args, std::size_t& i) const {
    const std::string& arg = args[i];
    const auto eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, eq);
    const OptionRow* row = find(name);
    if (!row) return Result<void>::failure("unknown option " + arg);
    if (row->kind == ValueKind::None) {
        if (eq != std::string::npos) return Result<void>::failure("option " + name + " takes no value");
        if (!row->set(OptionValue())) return Result<void>::failure("");
        return {};
    }
    if (eq == std::string::npos && i + 1 >= args.size())
        return Result<void>::failure("option " + name + " needs a value");
    const std::string text = eq != std::string::npos ? arg.substr(eq + 1) : args[++i];
    const OptionValue value = readOptionValue(row->kind, text);
    if (std::holds_alternative<std::monostate>(value) || !row->set(value)) {
        const char* expected = row->expects ? row->expects : describeValue(row->kind);
        return Result<void>::failure("option " + name + ": \"" + text + "\" is not " + expected);
    }
    return {};
}

Result<std::vector<std::string>> OptionTable::parse(const std::vector<std::string>& args) const {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!optionsEnded && args[i] == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && args[i].size() > 1 && args[i][0] == '-') {
            if (auto read = this->read(args, i); !read) return Result<std::vector<std::string>>::failure(read.error());
        } else {
            files.push_back(args[i]);
        }
    }
    return files;
}

std::string OptionTable::help() const {
    std::string text;
    for (const OptionRow& row : rows_) {
        if (row.before) text += row.before;
        if (!row.usage) continue;
        const std::string usage = row.usage;
        const std::size_t gap = usage.size() + 2 <= kOptionColumn ? kOptionColumn - usage.size() : 2;
        text += "  " + usage + std::string(gap, ' ');
        for (const char* c = row.help; *c; ++c) {
            if (*c == '\n')
                text += "\n" + std::string(kOptionColumn + 2, ' ');
            else
                text += *c;
        }
        text += '\n';
    }
    return text;
}

}  // namespace velmora
