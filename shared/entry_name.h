// Which entry names an SFX file may carry: a relative path below the
// extraction folder that Windows can create as it stands. The builders refuse
// to store anything else, and the stub refuses to extract anything else, since
// a name altered after the build could otherwise reach outside its folder.
// Freestanding, like container.h, so that the stub can include it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "shared/ansi_text.h"

namespace ql {

namespace entry_name_detail {

inline uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

inline bool StartsWithWord(const uint8_t* text, size_t length, const char* word) {
    size_t i = 0;
    for (; word[i]; ++i)
        if (i == length || Upper(text[i]) != static_cast<uint8_t>(word[i])) return false;
    return true;
}

// Windows opens a device instead of a file when the part of a name before its
// first dot, with the blanks at its end dropped, is CON, PRN, AUX, NUL, COM or
// LPT with one digit (0 to 9, or a superscript one to three), CONIN$ or CONOUT$,
// in any case and with any extension.
inline bool IsDeviceName(const uint8_t* part, size_t length, const NameEncoding& encoding) {
    size_t base = 0;
    while (base < length && part[base] != '.') ++base;
    while (base > 0 && part[base - 1] == ' ') --base;
    static const char kDevices[][8] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (base == __builtin_strlen(device) && StartsWithWord(part, base, device)) return true;
    if (base < 4 || !(StartsWithWord(part, base, "COM") || StartsWithWord(part, base, "LPT"))) return false;
    if (base == 4 && part[3] >= '0' && part[3] <= '9') return true;
    return encoding.isSuperscriptDigit && encoding.isSuperscriptDigit(part + 3, base - 3);
}

}  // namespace entry_name_detail

// True when `name` (`length` bytes, no terminating zero needed) is a relative
// path of names separated by single backslashes, with no leading or trailing
// backslash, where each name is one Windows can create: not empty, without
// control characters or any of < > : " | ? * /, not ending in a dot or a blank
// (which rules out "." and ".." too), and not a device name. A trail byte of a
// double-byte character is part of its character, never a separator or a
// forbidden character; a lead byte without a trail byte of the ranges double-
// byte code pages use (0x40 to 0xFE but 0x7F) is refused, since the system
// would drop it or end the name at a zero there: "..", a lead byte and a zero
// would leave the folder.
inline bool IsSafeEntryName(const char* name, size_t length, const NameEncoding& encoding) {
    const LeadByteTest isLead = encoding.isLead;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(name);
    size_t partStart = 0;
    bool endsInDotOrBlank = false;
    for (size_t i = 0; i <= length; ++i) {
        if (i == length || p[i] == '\\') {
            if (i == partStart || endsInDotOrBlank) return false;
            if (entry_name_detail::IsDeviceName(p + partStart, i - partStart, encoding)) return false;
            partStart = i + 1;
            continue;
        }
        if (IsLead(isLead, name[i])) {
            if (++i == length || p[i] < 0x40 || p[i] == 0x7F || p[i] == 0xFF) return false;
            endsInDotOrBlank = false;
            continue;
        }
        if (p[i] < 32) return false;
        for (const char* bad = "<>:\"|?*/"; *bad; ++bad)
            if (p[i] == static_cast<uint8_t>(*bad)) return false;
        endsInDotOrBlank = p[i] == '.' || p[i] == ' ';
    }
    return true;
}

}  // namespace ql
