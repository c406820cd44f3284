// A minimal PE image with one section of raw data, standing in for the stub
// where a test only needs the container to be found behind it.
#pragma once

#include <string>

namespace ql::test {

// 0x400 bytes: headers up to 0x200, one section of 0x200 raw bytes after them.
std::string FakeStubImage();

}  // namespace ql::test
