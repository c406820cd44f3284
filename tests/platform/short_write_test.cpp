// Files that take fewer bytes than asked. No real file system does this on
// demand, so the test puts its own write() in front of the C library's: the
// platform layer's calls reach it, everything else passes straight through.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file.h"
#include "tests/support/temp_tree.h"

namespace {

// What write() does while a test arms it: the first call takes `first` bytes,
// every later one none. Calls are counted so that a loop that never gives up
// fails the test instead of hanging it.
struct ShortWrites {
    bool armed = false;
    size_t first = 0;
    int calls = 0;
};
ShortWrites g_short;

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t length) {
    using Write = ssize_t (*)(int, const void*, size_t);
    static const Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    if (!g_short.armed || fd <= 2) return real(fd, data, length);
    if (++g_short.calls > 1000) {
        errno = EIO;
        return -1;
    }
    const size_t n = g_short.calls == 1 ? std::min(length, g_short.first) : 0;
    return n == 0 ? 0 : real(fd, data, n);
}

namespace ql::test {
namespace {

class ShortWrite : public ::testing::Test {
protected:
    void TearDown() override { g_short = ShortWrites(); }
    TempDir dir;
};

TEST_F(ShortWrite, AFileThatTakesNothingMoreEndsTheWriteWithTheShortCount) {
    platform::File file;
    ASSERT_EQ(file.Create(dir / "a.bin"), 0);
    g_short = ShortWrites{true, 10, 0};
    size_t written = 99;
    EXPECT_EQ(file.Write("0123456789abcdef", 16, written), 0);
    EXPECT_EQ(written, 10u);
    EXPECT_LT(g_short.calls, 10) << "the write loop kept asking a file that takes nothing";
}

TEST_F(ShortWrite, AWholeFileCutShortIsAFailure) {
    g_short = ShortWrites{true, 3, 0};
    EXPECT_EQ(platform::WriteWholeFile(dir / "b.bin", "0123456789"), 112);
    g_short = ShortWrites();
    EXPECT_EQ(ReadFile(dir / "b.bin"), "012");
}

}  // namespace
}  // namespace ql::test
