// --extract: the stub's container walk writing the tree into a POSIX folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <ostream>

#include "builder/cli/sfx_inspect.h"
#include "platform/dos_time.h"
#include "platform/filesystem.h"
#include "platform/posix_errors.h"
#include "platform/posix_time.h"
#include "platform/text.h"

namespace ql {

namespace {

// Creates what the walk hands over below `base` (the folder, with a trailing
// slash). The walk puts `base` in front of each stored name.
class ExtractingSink final : public stub::EntrySink {
public:
    explicit ExtractingSink(const std::string& base) : base_(base) {}
    ~ExtractingSink() { Close(); }

    void MakeFolder(const char* path) override {
        if (!Native(path, current_)) return;  // the files inside report it
        if (platform::CreateFolderChain(current_)) ++folders;
    }

    // Windows keeps read-only on folders only as a hint; here it would stop
    // the files inside from being created. Files get it after their data.
    void SetAttributes(const char*, uint32_t attributes) override {
        if (!isFile_ || !written_) return;
        struct stat st;
        if ((attributes & kAttrReadOnly) && stat(current_.c_str(), &st) == 0)
            chmod(current_.c_str(), st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
        isFile_ = false;
    }

    uint32_t BeginFile(const char* path, const EntryHeader& header, bool& writing) override {
        writing = written_ = false;
        isFile_ = true;
        if (header.EntryType == kEntryHelper) return 0;  // the self-delete program is no part of the tree
        if (!Native(path, current_)) {
            problem =
                "the name cannot be converted from code page " + std::to_string(platform::AnsiCodePage());
            return platform::kErrorInvalidName;
        }
        struct stat st;
        if (lstat(current_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
            chmod(current_.c_str(), st.st_mode | S_IWUSR);  // a read-only file is replaced, as the stub does
        fd_ = open(current_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd_ < 0) return Failed();
        writing = written_ = true;
        ++files;
        return 0;
    }

    uint32_t Write(const void* data, uint32_t length) override {
        const char* p = static_cast<const char*>(data);
        while (length > 0) {
            ssize_t n = write(fd_, p, length);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return n < 0 ? Failed() : platform::kErrorDiskFull;
            p += n;
            length -= static_cast<uint32_t>(n);
        }
        return 0;
    }

    // The stored time is local time with today's offset from UTC, as Windows
    // lists it; it is turned back the same way.
    void EndFile(const EntryHeader& header, bool writing) override {
        if (!writing) return;
        const long offset = platform::TodaysUtcOffset().value_or(0);
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(platform::UnixTimeFromDosUtc(header.FileTime) - offset);
        times[1].tv_nsec = 0;
        futimens(fd_, times);
        Close();
    }

    void Progress(uint32_t) override {}

    std::string current_;  // native path of the entry being written
    std::string problem;   // what went wrong, when the code alone does not say
    uint64_t files = 0, folders = 0;

private:
    // The stored name, split at its backslashes (never at the trail byte of a
    // double-byte character) and converted from the code page.
    bool Native(const char* path, std::string& native) const {
        const std::string stored = path + base_.size();
        native = base_;
        size_t part = 0;
        for (size_t i = 0; i <= stored.size(); ++i) {
            if (i < stored.size() && platform::IsAnsiLeadByte(static_cast<unsigned char>(stored[i]))) {
                ++i;
                continue;
            }
            if (i < stored.size() && stored[i] != '\\') continue;
            std::string converted;
            if (!platform::FromAnsi(stored.substr(part, i - part), converted)) return false;
            native += converted;
            if (i < stored.size()) native += '/';
            part = i + 1;
        }
        return true;
    }

    uint32_t Failed() {
        problem = std::strerror(errno);
        return static_cast<uint32_t>(platform::WindowsErrorFromErrno(errno));
    }

    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    std::string base_;
    int fd_ = -1;
    bool isFile_ = false, written_ = false;
};

}  // namespace

int ExtractSfx(const std::string& path, const std::string& folder, std::ostream& out, std::ostream& err) {
    // Checked whole first: a damaged file or an unsafe name writes nothing.
    inspect::SfxFile sfx;
    inspect::Check check;
    if (!inspect::OpenSfx(path, sfx, err) || !inspect::CheckSfx(sfx, check, err)) return 1;
    std::string base = platform::FullPath(folder);
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (!platform::CreateFolderChain(base)) {
        err << "Error: cannot create the folder '" << base << "': " << std::strerror(errno) << "\n";
        return 1;
    }
    if (base.back() != '/') base += '/';
    ExtractingSink sink(base);
    inspect::FileReader reader(sfx.file);
    const stub::Failure failure = inspect::WalkSfx(sfx, reader, base, sink);
    if (failure.code) {
        if (failure.subject == stub::Subject::Target)
            err << "Error: cannot write '" << sink.current_ << "': " << sink.problem << "\n";
        else
            err << "Error: " << path << ": " << inspect::DescribeFailure(sfx, failure, "") << "\n";
        err << "The extraction stopped; " << sink.files << " files were written into " << base << "\n";
        return 1;
    }
    out << "Extracted " << sink.files << (sink.files == 1 ? " file" : " files") << " and " << sink.folders
        << (sink.folders == 1 ? " folder" : " folders") << " into " << base << "\n";
    return 0;
}

}  // namespace ql
