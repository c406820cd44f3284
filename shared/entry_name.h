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

// True when the `length` bytes are well-formed UTF-8: every character in its
// shortest form, no surrogate halves, nothing above U+10FFFF. Any other form
// would not convert to the name that was checked, or not at all; an encoded
// zero (C0 80) is one of them.
inline bool IsWellFormedUtf8(const uint8_t* p, size_t length) {
    for (size_t i = 0; i < length;) {
        uint32_t code = p[i++];
        if (code < 0x80) continue;
        if (code < 0xC2 || code > 0xF4)
            return false;  // a trail byte, or a lead that is always too long or too large
        const uint32_t trail = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : 1;
        if (length - i < trail) return false;
        for (uint32_t k = 0; k < trail; ++k, ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = code << 6 | (p[i] & 0x3Fu);
        }
        // The value bits; from 2^11 (two trail bytes) or 2^16 (three) on, or it had a shorter form.
        code &= (1u << (5 * trail + 6)) - 1;
        if (code < 1u << (5 * trail + 1) || code > 0x10FFFF || code >> 11 == 0x1B)
            return false;  // 0x1B: surrogates
    }
    return true;
}

// The superscript digits one, two and three in UTF-8: U+00B9, U+00B2, U+00B3.
inline bool IsUtf8SuperscriptDigit(const uint8_t* text, size_t length) {
    return length == 2 && text[0] == 0xC2 && (text[1] == 0xB9 || text[1] == 0xB2 || text[1] == 0xB3);
}

// The name rule for a name stored as UTF-8 (an extended entry): well-formed,
// and then the same rule as for any name. UTF-8 has no lead bytes that could
// hide a backslash or a forbidden character.
inline bool IsSafeUtf8EntryName(const char* name, size_t length) {
    return IsWellFormedUtf8(reinterpret_cast<const uint8_t*>(name), length) &&
           IsSafeEntryName(name, length, NameEncoding{nullptr, IsUtf8SuperscriptDigit});
}

}  // namespace ql
