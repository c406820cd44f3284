// One chunk of file data as one complete zlib stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ql {

// Level 9, deflate, 32 KiB window with zlib header and trailer, memory level 8,
// default strategy. Raises BuildError("错误") when zlib fails.
std::vector<uint8_t> PackChunk(const uint8_t* data, size_t length);

}  // namespace ql
