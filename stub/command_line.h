// The platform's usual rule for splitting a command line, shared by the stub
// and the self-delete helper: parameters are separated by runs of characters
// up to 32 (blanks and control characters); double quotes group a stretch that
// holds blanks and are removed. Neither a blank nor a double quote can be the
// trail byte of a double-byte character, so the scan may go byte by byte.
#pragma once

namespace ql {

inline bool IsParameterSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Hands each character of the parameter at `p` to `take`; returns the position
// behind it, or null when no parameter is left.
template <typename Take>
const char* ScanParameter(const char* p, Take take) {
    while (*p && IsParameterSeparator(*p)) ++p;
    if (!*p) return nullptr;
    bool quoted = false;
    for (; *p && (quoted || !IsParameterSeparator(*p)); ++p) {
        if (*p == '"')
            quoted = !quoted;
        else
            take(*p);
    }
    return p;
}

}  // namespace ql
