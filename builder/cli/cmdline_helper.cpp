// Tokenizer and argument access of the builder's command line.
#include "builder/cli/cmdline_helper.h"

namespace ql {

bool CmdLineHelper::NextArgument(const std::string& line, size_t& pos, std::string* argument) const {
    const size_t end = line.size();
    while (pos < end && line[pos] != '\0' && static_cast<unsigned char>(line[pos]) <= 32) ++pos;
    if (pos >= end || line[pos] == '\0') return false;

    std::string text;
    bool inQuotes = false;
    while (pos < end && line[pos] != '\0') {
        unsigned char c = static_cast<unsigned char>(line[pos]);
        if (c == '\\') {
            size_t run = 0;
            while (pos + run < end && line[pos + run] == '\\') ++run;
            pos += run;
            if (pos < end && line[pos] == '"') {
                text.append(run / 2, '\\');
                if (run % 2 == 1) {
                    text += '"';
                    ++pos;
                }
                // An even run leaves the quote to the next round, as a quote character.
            } else {
                text.append(run, '\\');
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
            ++pos;
        } else if (c <= 32 && !inQuotes) {
            break;
        } else if (platform_.isLeadByte(c) && pos + 1 < end) {
            text.append(line, pos, 2);  // a double-byte character is one character
            pos += 2;
        } else {
            text += static_cast<char>(c);
            ++pos;
        }
    }
    if (argument) *argument = std::move(text);
    return true;
}

// Calls visit(argument) for each argument after the program path, until it returns false.
template <typename Visit>
void CmdLineHelper::ForEachArgument(Visit visit) const {
    const std::string line = platform_.commandLine();
    size_t pos = 0;
    if (!NextArgument(line, pos, nullptr)) return;  // the program's own path
    std::string argument;
    while (NextArgument(line, pos, &argument))
        if (!visit(argument)) return;
}

int CmdLineHelper::ArgumentCount() const {
    int count = 0;
    ForEachArgument([&](const std::string&) { return ++count, true; });
    return count;
}

std::string CmdLineHelper::ArgumentText(int index) const {
    if (index <= 0) return platform_.modulePath().substr(0, 260);
    std::string found;
    int i = 0;
    ForEachArgument([&](const std::string& argument) {
        if (++i < index) return true;
        found = argument;
        return false;
    });
    return found;
}

bool CmdLineHelper::IsSwitch(const std::string& argument) const {
    return !argument.empty() && platform_.switchPrefixes.find(argument[0]) != std::string::npos;
}

int CmdLineHelper::PositionalCount() const {
    int count = 0;
    ForEachArgument([&](const std::string& argument) { return count += !IsSwitch(argument), true; });
    return count;
}

std::string CmdLineHelper::PositionalParameter(int n) const {
    if (n == 0) return ArgumentText(0);
    std::string found;
    int i = 0;
    if (n < 0) return found;
    ForEachArgument([&](const std::string& argument) {
        if (IsSwitch(argument) || ++i < n) return true;
        found = argument;
        return false;
    });
    return found;
}

bool CmdLineHelper::HasSwitch(const std::string& name) const {
    bool found = false;
    ForEachArgument([&](const std::string& argument) {
        found = IsSwitch(argument) && platform_.sameTextIgnoringCase(argument.substr(1), name);
        return !found;
    });
    return found;
}

}  // namespace ql
