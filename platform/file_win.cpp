// Win32 byte files through the wide functions, for ANSI paths and those in the
// tree form alike (platform/wide_path_win.h).
#include "platform/file.h"

#include <windows.h>

#include "platform/wide_path_win.h"

namespace ql::platform {

static HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

static int OpenWith(intptr_t& handle, const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    handle = reinterpret_cast<intptr_t>(h);
    return 0;
}

int File::OpenRead(const std::string& path) {
    Close();
    return OpenWith(handle_, path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

// Files being written share deletion only: an interrupted build deletes what it
// was writing (platform/partial_file.h) while the file is still open.
int File::Create(const std::string& path) {
    Close();
    return OpenWith(handle_, path, GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_ALWAYS);
}

int CheckReplaceable(const std::string& path) {
    if (GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    // Opening for writing without changing anything gives exactly the answer
    // creating the file would: read-only, a folder, or held open elsewhere.
    intptr_t handle = -1;
    int error = OpenWith(handle, path, GENERIC_WRITE, 0, OPEN_EXISTING);
    if (error == 0) CloseHandle(AsHandle(handle));
    return error;
}

int MoveReplacing(const std::string& from, const std::string& to) {
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return static_cast<int>(GetLastError());
}

int File::Read(void* buffer, size_t length, size_t& got) {
    got = 0;
    char* p = static_cast<char*>(buffer);
    while (got < length) {
        DWORD n = 0;
        DWORD ask = static_cast<DWORD>(length - got > 0x40000000 ? 0x40000000 : length - got);
        if (!ReadFile(AsHandle(handle_), p + got, ask, &n, nullptr)) return static_cast<int>(GetLastError());
        if (n == 0) break;
        got += n;
    }
    return 0;
}

int File::Write(const void* buffer, size_t length, size_t& written) {
    written = 0;
    const char* p = static_cast<const char*>(buffer);
    while (written < length) {
        DWORD n = 0;
        DWORD ask = static_cast<DWORD>(length - written > 0x40000000 ? 0x40000000 : length - written);
        if (!WriteFile(AsHandle(handle_), p + written, ask, &n, nullptr))
            return static_cast<int>(GetLastError());
        if (n == 0) break;
        written += n;
    }
    return 0;
}

int File::Size(uint64_t& size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(AsHandle(handle_), &value)) return static_cast<int>(GetLastError());
    size = static_cast<uint64_t>(value.QuadPart);
    return 0;
}

int File::Seek(uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN))
        return static_cast<int>(GetLastError());
    return 0;
}

int File::Close() {
    if (handle_ == kClosed) return 0;
    BOOL ok = CloseHandle(AsHandle(handle_));
    handle_ = kClosed;
    return ok ? 0 : static_cast<int>(GetLastError());
}

}  // namespace ql::platform
