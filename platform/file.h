// Byte files behind one small interface. Every failure is reported as a
// Windows error code (0 is success), also on POSIX, so that the builder's
// error texts are the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ql::platform {

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    int OpenRead(const std::string& path);  // read-only, others may read too
    int Create(const std::string& path);    // create or truncate, for writing
    int Read(void* buffer, size_t length, size_t& got);
    // `written` may fall short of `length` without an error when the file
    // takes no more; callers decide what that means.
    int Write(const void* buffer, size_t length, size_t& written);
    int Size(uint64_t& size);
    int Seek(uint64_t position);  // from the start of the file
    int Close();

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;
};

// Reads or replaces a whole file; used for small files such as executables whose
// resources are edited. A file larger than `limit` is not read: the code is
// then kErrorFileTooLarge (shared/error_codes.h).
int ReadWholeFile(const std::string& path, std::string& content, uint64_t limit = UINT64_MAX);
int WriteWholeFile(const std::string& path, const std::string& content);

// The size of the file at `path`.
int FileSize(const std::string& path, uint64_t& size);

// 0 when nothing stands at `path` or a file that may be replaced; else the code
// that opening it for writing fails with (5 for a read-only file or a folder,
// 32 for a file another program holds open). Changes nothing.
int CheckReplaceable(const std::string& path);

// Renames `from` to `to` on the same volume, replacing a file that stands
// there, so that `to` is always either the old file or the complete new one.
int MoveReplacing(const std::string& from, const std::string& to);

}  // namespace ql::platform
