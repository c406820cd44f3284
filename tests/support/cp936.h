// The lead-byte test of the Chinese code page 936 (GBK) for tests that meet
// double-byte characters whatever code page the system runs: the byte after a
// lead byte belongs to its character, be it a backslash, a "|" or a quote.
#pragma once

#include <stdint.h>

namespace ql::test {

inline bool Cp936LeadByte(uint8_t c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace ql::test
