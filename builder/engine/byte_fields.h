// Little-endian fields of byte strings: the engine's PE and resource code keeps
// whole files and blocks in std::string and reads and writes them field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/container.h"

namespace ql {

inline uint16_t Le16(std::string_view s, size_t at) {
    return ReadLE16(reinterpret_cast<const uint8_t*>(s.data() + at));
}
inline uint32_t Le32(std::string_view s, size_t at) {
    return ReadLE32(reinterpret_cast<const uint8_t*>(s.data() + at));
}
inline void PutLe16(std::string& s, size_t at, uint16_t v) {
    WriteLE16(reinterpret_cast<uint8_t*>(s.data() + at), v);
}
inline void PutLe32(std::string& s, size_t at, uint32_t v) {
    WriteLE32(reinterpret_cast<uint8_t*>(s.data() + at), v);
}

}  // namespace ql
