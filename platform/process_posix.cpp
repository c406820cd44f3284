// POSIX process facts. The command line is rebuilt from argv so that the
// builder's own tokenizer (quotes and backslash escapes) reads back exactly argv.
#include "platform/process.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix_setup.h"

namespace ql::platform {

namespace {
std::vector<std::string> g_arguments;

// The inverse of the tokenizer: quote when needed; backslashes double only
// where a double quote follows them.
std::string QuoteArgument(const std::string& argument) {
    bool plain = !argument.empty();
    for (unsigned char c : argument)
        if (c <= 32 || c == '"') plain = false;
    if (plain) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}
}  // namespace

void SetArguments(int argc, char** argv) { g_arguments.assign(argv, argv + argc); }

std::string CommandLineText() {
    std::string line;
    for (size_t i = 0; i < g_arguments.size(); ++i) {
        if (i > 0) line += ' ';
        line += QuoteArgument(i == 0 ? ModulePath() : g_arguments[i]);
    }
    return line;
}

std::string ModulePath() {
    std::string buffer(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? buffer.substr(0, static_cast<size_t>(n)) : std::string();
}

bool IsNtFamily() { return true; }

}  // namespace ql::platform
