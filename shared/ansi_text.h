// ANSI text scanned character by character. In a double-byte code page (936,
// 932, 949, 950) the trail byte of a character may be 0x5C, the backslash, and
// still belongs to its character: such a path neither ends in a backslash nor
// is split there. Freestanding, like container.h, so that the stub can include it.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ql {

// True for the first byte of a double-byte character of the ANSI code page;
// null where the text has no double-byte characters (UTF-8 never hides an
// ASCII byte inside a character).
using LeadByteTest = bool (*)(uint8_t c);

inline bool IsLead(LeadByteTest isLead, char c) { return isLead && isLead(static_cast<uint8_t>(c)); }

// How the bytes of stored names form characters, for the rules that read
// names character by character.
struct NameEncoding {
    LeadByteTest isLead = nullptr;
    // True when the `length` bytes at `text` are exactly one character, the
    // superscript digit one, two or three: Windows reads COM¹ as it reads
    // COM1. Null where the text can hold none of them.
    bool (*isSuperscriptDigit)(const uint8_t* text, size_t length) = nullptr;
};

// The length of the folder part of the first `length` bytes of `path`: up to
// and including its last character that is one of `delimiters` (a
// zero-terminated list); 0 when it has none.
inline size_t FolderPartLength(const char* path, size_t length, const char* delimiters, LeadByteTest isLead) {
    size_t end = 0;
    for (size_t i = 0; i < length; ++i) {
        if (IsLead(isLead, path[i]) && i + 1 < length) {
            ++i;
            continue;
        }
        for (const char* d = delimiters; *d; ++d)
            if (path[i] == *d) end = i + 1;
    }
    return end;
}

// True when the last character of the first `length` bytes of `text` is `c`.
inline bool EndsWithCharacter(const char* text, size_t length, char c, LeadByteTest isLead) {
    const char delimiters[] = {c, '\0'};
    return length > 0 && FolderPartLength(text, length, delimiters, isLead) == length;
}

// True when the first `position` bytes of `text` (which has at least that
// many) end between two characters, not inside one.
inline bool IsCharacterBoundary(const char* text, size_t position, LeadByteTest isLead) {
    size_t i = 0;
    while (i < position) i += IsLead(isLead, text[i]) ? 2 : 1;
    return i == position;
}

}  // namespace ql
