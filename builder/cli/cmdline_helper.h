// The builder's command line: its own tokenizer (double quotes and backslash
// escapes) over the raw command-line text, switches and positional parameters.
#pragma once

#include <functional>
#include <string>

namespace ql {

class CmdLineHelper {
public:
    struct Platform {
        std::function<std::string()> commandLine;  // raw text, program path first; read on every call
        std::function<std::string()> modulePath;   // the program file's full path
        std::function<bool(unsigned char)> isLeadByte;
        std::function<bool(const std::string&, const std::string&)> sameTextIgnoringCase;
        std::string switchPrefixes;  // "-/" on Windows, "-" on Linux
    };

    explicit CmdLineHelper(Platform platform) : platform_(std::move(platform)) {}

    // Reads the argument at `position` of `line`; false when none is left.
    bool NextArgument(const std::string& line, size_t& position, std::string* argument) const;

    int ArgumentCount() const;
    // i >= 1: the i-th argument after the program path (empty when missing);
    // i <= 0: the program's own path.
    std::string ArgumentText(int index) const;
    int PositionalCount() const;
    // n >= 1: the n-th argument that is not a switch; 0: the program path; < 0: empty.
    std::string PositionalParameter(int n) const;
    // True when some argument is the switch `name` (given without its prefix).
    bool HasSwitch(const std::string& name) const;
    // A switch begins with a prefix character. An empty argument ("") is a
    // positional parameter, so it can stand for an empty value.
    bool IsSwitch(const std::string& argument) const;

private:
    template <typename Visit>
    void ForEachArgument(Visit visit) const;
    Platform platform_;
};

}  // namespace ql
