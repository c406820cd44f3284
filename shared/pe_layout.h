// The PE image layout (PE32 and PE32+) as far as Quillon reads and rewrites
// it: the one definition of its header fields, shared by the stub's container
// walk, the engine's resource editing and the SFX inspection. Freestanding,
// like container.h, so that the stub can include it.
//
//   0        DOS header        64 B   "MZ"; at 0x3C the offset L of the signature
//   L        signature          4 B   "PE\0\0"
//   L+4      COFF file header  20 B   section count, optional header size
//   L+24     optional header          PE32+ has wider fields: its directories sit 16 B later
//   ...      section table     40 B   per section, behind the optional header
//            raw section data         where the section headers point
// All integers are little-endian; offsets count from the start of their header.
#pragma once

#include <stdint.h>

namespace ql::pe {

namespace dos {
constexpr uint32_t kHeaderSize = 64;
constexpr uint16_t kSignature = 0x5A4D;      // "MZ"
constexpr uint32_t kNewHeaderOffset = 0x3C;  // 4: file offset of the PE signature
}  // namespace dos

constexpr uint32_t kSignature = 0x00004550;  // "PE\0\0", read as a 32-bit integer
constexpr uint32_t kSignatureSize = 4;

namespace coff {
constexpr uint32_t kHeaderSize = 20;
constexpr uint32_t kMachine = 0;              // 2
constexpr uint32_t kSectionCount = 2;         // 2
constexpr uint32_t kSymbolTable = 8;          // 4: file offset of the COFF symbol table, or 0
constexpr uint32_t kSymbolCount = 12;         // 4
constexpr uint32_t kOptionalHeaderSize = 16;  // 2
constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;
}  // namespace coff

namespace optional {
constexpr uint32_t kMagic = 0;  // 2
constexpr uint32_t kMagicSize = 2;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kInitialisedDataSize = 8;  // 4: raw size of all initialised-data sections
constexpr uint32_t kSectionAlignment = 32;    // 4
constexpr uint32_t kFileAlignment = 36;       // 4
constexpr uint32_t kImageSize = 56;           // 4: end of the last section in memory, aligned
constexpr uint32_t kHeadersSize = 60;         // 4: headers and section table, file-aligned
constexpr uint32_t kCheckSum = 64;            // 4: 0 when the image has none
constexpr uint32_t kDirectoryCountPe32 = 92;  // 4
constexpr uint32_t kDirectoriesPe32 = 96;
constexpr uint32_t kDirectoryCountPe32Plus = 108;  // 4
constexpr uint32_t kDirectoriesPe32Plus = 112;
}  // namespace optional

namespace directory {
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kAddress = 0;  // 4: an RVA; for the security directory a file offset
constexpr uint32_t kSize = 4;     // 4
constexpr uint32_t kMaxCount = 16;
constexpr int kResource = 2;
constexpr int kSecurity = 4;  // the signature, appended behind the image
}  // namespace directory

namespace section {
constexpr uint32_t kHeaderSize = 40;
constexpr uint32_t kName = 0;  // 8: zero-padded, not zero-ended when it fills them
constexpr uint32_t kNameSize = 8;
constexpr uint32_t kVirtualSize = 8;       // 4
constexpr uint32_t kVirtualAddress = 12;   // 4
constexpr uint32_t kRawSize = 16;          // 4
constexpr uint32_t kRawPointer = 20;       // 4
constexpr uint32_t kCharacteristics = 36;  // 4
constexpr uint32_t kInitialisedData = 0x00000040;
constexpr uint32_t kMemoryRead = 0x40000000;
}  // namespace section

}  // namespace ql::pe
