#include "tests/support/fake_pe.h"

#include <cstdint>

#include "shared/container.h"

namespace ql::test {

std::string FakeStubImage() {
    std::string image(0x400, '\0');
    auto* p = reinterpret_cast<uint8_t*>(image.data());
    p[0] = 'M';
    p[1] = 'Z';
    WriteLE32(p + 60, 0x40);
    std::string signature("PE\0\0", 4);
    image.replace(0x40, 4, signature);
    WriteLE16(p + 0x40 + 6, 1);   // one section
    WriteLE16(p + 0x40 + 20, 0);  // no optional header
    uint8_t* section = p + 0x40 + 24;
    std::string name = ".text";
    image.replace(0x40 + 24, name.size(), name);
    WriteLE32(section + 16, 0x200);  // raw size
    WriteLE32(section + 20, 0x200);  // raw pointer
    for (size_t i = 0x200; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
    return image;
}

}  // namespace ql::test
