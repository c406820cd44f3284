// POSIX byte files; errno values are mapped to the Windows codes the builder reports.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix_errors.h"

namespace ql::platform {

// A folder opened as a file fails as on Windows, with access denied: at the
// open for writing, at the first read for reading (EISDIR), which spares
// every file a stat of its own.
static int OpenWith(intptr_t& handle, const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return WindowsErrorFromErrno(errno);
    handle = fd;
    return 0;
}

int File::OpenRead(const std::string& path) {
    Close();
    return OpenWith(handle_, path, O_RDONLY);
}

// Windows refuses to replace a read-only file or a folder; so does the builder
// here, even when running as root.
int CheckReplaceable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) ? kErrorAccessDenied
                                                                                       : 0;
}

int MoveReplacing(const std::string& from, const std::string& to) {
    if (int error = CheckReplaceable(to)) return error;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : WindowsErrorFromErrno(errno);
}

int File::Create(const std::string& path) {
    Close();
    if (int error = CheckReplaceable(path)) return error;
    return OpenWith(handle_, path, O_WRONLY | O_CREAT | O_TRUNC);
}

int File::Read(void* buffer, size_t length, size_t& got) {
    got = 0;
    char* p = static_cast<char*>(buffer);
    while (got < length) {
        ssize_t n = ::read(static_cast<int>(handle_), p + got, length - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return WindowsErrorFromErrno(errno);
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return 0;
}

int File::Write(const void* buffer, size_t length, size_t& written) {
    written = 0;
    const char* p = static_cast<const char*>(buffer);
    while (written < length) {
        ssize_t n = ::write(static_cast<int>(handle_), p + written, length - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return WindowsErrorFromErrno(errno);
        }
        if (n == 0) break;  // nothing more goes in: the caller sees the short count
        written += static_cast<size_t>(n);
    }
    return 0;
}

int File::Size(uint64_t& size) {
    struct stat st;
    if (fstat(static_cast<int>(handle_), &st) != 0) return WindowsErrorFromErrno(errno);
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}

int File::Seek(uint64_t position) {
    if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0)
        return WindowsErrorFromErrno(errno);
    return 0;
}

int File::Close() {
    if (handle_ == kClosed) return 0;
    int result = ::close(static_cast<int>(handle_));
    handle_ = kClosed;
    return result == 0 ? 0 : WindowsErrorFromErrno(errno);
}

}  // namespace ql::platform
