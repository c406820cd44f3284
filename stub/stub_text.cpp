// Text rules of the stub that do not need the platform.
#include "stub/stub_text.h"

#include "stub/command_line.h"

namespace ql::stub {

using text_detail::TextBuilder;

bool BuildParameterString(const char* configured, const char* commandLine, char* out, size_t capacity) {
    TextBuilder<char> parameters(out, capacity);
    parameters.Add(configured);
    const char* p = ScanParameter(commandLine, [](char) {});  // the program name
    while (p) {
        while (*p && IsParameterSeparator(*p)) ++p;
        if (!*p) break;
        parameters.Add(" \"");
        p = ScanParameter(p, [&](char c) { parameters.Add(&c, 1); });
        parameters.Add("\"");
    }
    return parameters.complete();
}

bool IsBlank(const char* text) {
    for (; *text; ++text)
        if (!IsParameterSeparator(*text)) return false;
    return true;
}

}  // namespace ql::stub
