// The platform-independent parts of File, and whole-file helpers built on it.
#include "platform/file.h"

#include "shared/error_codes.h"

namespace ql::platform {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kClosed;
    }
    return *this;
}

int ReadWholeFile(const std::string& path, std::string& content, uint64_t limit) {
    File file;
    int error = file.OpenRead(path);
    uint64_t size = 0;
    if (error == 0) error = file.Size(size);
    if (error == 0 && size > limit) error = kErrorFileTooLarge;
    if (error != 0) return error;
    content.assign(static_cast<size_t>(size), '\0');
    size_t got = 0;
    error = file.Read(content.data(), content.size(), got);
    if (error == 0 && got != content.size()) error = kErrorHandleEof;  // shrank meanwhile
    int closeError = file.Close();
    return error != 0 ? error : closeError;
}

int FileSize(const std::string& path, uint64_t& size) {
    File file;
    const int error = file.OpenRead(path);
    return error != 0 ? error : file.Size(size);
}

int WriteWholeFile(const std::string& path, const std::string& content) {
    File file;
    int error = file.Create(path);
    if (error != 0) return error;
    size_t written = 0;
    error = file.Write(content.data(), content.size(), written);
    // A file cut short is no success, whatever the system said.
    if (error == 0 && written != content.size()) error = kErrorDiskFull;
    int closeError = file.Close();
    return error != 0 ? error : closeError;
}

}  // namespace ql::platform
