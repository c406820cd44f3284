// The builder's word-wise byte sum gives the stub's value for any length,
// alignment and starting sum, also where every lane is filled to the top.
#include <gtest/gtest.h>

#include <string>

#include "builder/engine/byte_sum.h"
#include "tests/support/temp_tree.h"

namespace ql::test {
namespace {

TEST(WideByteSum, GivesTheByteSumForAnyLengthAlignmentAndStart) {
    const std::string data = PatternData(5000, 9);
    for (size_t offset = 0; offset < 16; ++offset)
        for (size_t length : {0, 1, 7, 511, 512, 513, 1023, 1024, 1025, 2048, 4000})
            for (uint32_t start : {0u, 0xFFFFFF00u})
                ASSERT_EQ(WideByteSum(data.data() + offset, length, start),
                          ByteSum(data.data() + offset, length, start))
                    << offset << " " << length << " " << start;
}

TEST(WideByteSum, AllOnesFillTheLanesWithoutOverflow) {
    const std::string ones((1 << 20) + 3, '\xFF');
    EXPECT_EQ(WideByteSum(ones.data(), ones.size()), 255u * ones.size());
}

}  // namespace
}  // namespace ql::test
