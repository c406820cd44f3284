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

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name devices with any
// extension; Windows opens the device instead of a file of that name.
inline bool IsDeviceName(const uint8_t* part, size_t length) {
    size_t base = 0;
    while (base < length && part[base] != '.') ++base;
    if (base != 3 && base != 4) return false;
    const uint8_t a = Upper(part[0]), b = Upper(part[1]), c = Upper(part[2]);
    if (base == 3) {
        static const char kDevices[][4] = {"CON", "PRN", "AUX", "NUL"};
        for (const char* device : kDevices)
            if (a == device[0] && b == device[1] && c == device[2]) return true;
        return false;
    }
    const bool numbered = (a == 'C' && b == 'O' && c == 'M') || (a == 'L' && b == 'P' && c == 'T');
    return numbered && part[3] >= '1' && part[3] <= '9';
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
inline bool IsSafeEntryName(const char* name, size_t length, LeadByteTest isLead) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(name);
    size_t partStart = 0;
    bool endsInDotOrBlank = false;
    for (size_t i = 0; i <= length; ++i) {
        if (i == length || p[i] == '\\') {
            if (i == partStart || endsInDotOrBlank) return false;
            if (entry_name_detail::IsDeviceName(p + partStart, i - partStart)) return false;
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
