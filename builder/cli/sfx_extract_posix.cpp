// --extract: the stub's container walk writing the tree into a POSIX folder.
// Everything that can be checked is checked before the first write: the
// container as --test checks it, every name as it converts, the entries
// against each other and against what already stands in the folder, and the
// free space. Nothing is written through a symbolic link that stands in the
// folder, and an existing file is replaced, never rewritten in place, so that
// a hard link elsewhere keeps its data.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <ostream>
#include <vector>

#include "builder/cli/sfx_inspect.h"
#include "builder/cli/terminal_dialogs.h"
#include "platform/dos_time.h"
#include "platform/filesystem.h"
#include "platform/posix_errors.h"
#include "platform/posix_time.h"
#include "platform/text.h"

namespace ql {

namespace {

// The longest name one folder takes on the file systems --extract writes to.
constexpr size_t kMaxNamePart = 255;

// One entry as it will be written.
struct PlannedEntry {
    std::string stored;              // the name as stored
    std::vector<std::string> parts;  // its parts in native text
    EntryHeader header{};
    bool Skipped() const { return header.EntryType == kEntryHelper; }  // the self-delete program is no part of the tree
};

std::string Entry(const std::string& stored) { return "entry '" + inspect::DisplayName(stored) + "'"; }

std::string Shown(const std::string& native) {
    std::string shown(1, '\'');  // built up piece by piece: GCC 12 warns wrongly about "'" + text
    shown += EscapeControls(native);
    shown += '\'';
    return shown;
}

std::string CodePage() { return "code page " + std::to_string(platform::AnsiCodePage()); }

// The stored name's parts in native text, each one plain name here; why not, or nothing.
std::string ConvertName(PlannedEntry& entry) {
    for (const std::string& stored : inspect::StoredNameParts(entry.stored)) {
        std::string part;
        if (!platform::FromAnsi(stored, part)) return "the name cannot be converted from " + CodePage();
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos ||
            part.find('\0') != std::string::npos)
            return "in " + CodePage() + " the name turns into " + Shown(part) + ", which is no plain name here";
        if (part.size() > kMaxNamePart)
            return "the part " + Shown(part) + " is " + std::to_string(part.size()) +
                   " bytes long here, and a file system takes at most " + std::to_string(kMaxNamePart);
        entry.parts.push_back(part);
    }
    return {};
}

// The entries against each other, as Windows would take them: no entry inside
// a file entry, and no two entries that are one name without regard to case.
std::string CheckAgainstEarlier(const PlannedEntry& entry, std::map<std::string, PlannedEntry*>& names) {
    const std::vector<std::string> parts = inspect::StoredNameParts(entry.stored);
    std::string folder;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        folder += (i ? "\\" : "") + parts[i];
        const auto earlier = names.find(inspect::ComparableName(folder));
        if (earlier != names.end() && !IsFolderEntry(earlier->second->header))
            return "it lies inside the file " + Entry(earlier->second->stored);
    }
    const auto earlier = names.find(inspect::ComparableName(entry.stored));
    if (earlier != names.end()) return "it has the name of " + Entry(earlier->second->stored) + " but for case";
    return {};
}

// What stands in the folder along the entry's path: links are never followed,
// folders must be folders, and a file entry does not replace a folder.
std::string CheckStanding(const std::string& base, const PlannedEntry& entry) {
    std::string path = base;
    for (size_t i = 0; i < entry.parts.size(); ++i) {
        path += entry.parts[i];
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? std::string() : "cannot look at " + Shown(path) + ": " + std::strerror(errno);
        if (S_ISLNK(st.st_mode))
            return Shown(path) + " is a symbolic link, and nothing is written through links";
        const bool folder = i + 1 < entry.parts.size() || IsFolderEntry(entry.header);
        if (folder && !S_ISDIR(st.st_mode)) return Shown(path) + " stands there, and it is no folder";
        if (!folder && S_ISDIR(st.st_mode)) return "a folder stands at " + Shown(path);
        path += '/';
    }
    return {};
}

// The nearest folder that exists on the way to `path`, which the tree will go into.
std::string ExistingAncestor(std::string path) {
    while (!platform::FolderExists(path) && path.size() > 1) {
        path.pop_back();
        path.resize(path.find_last_of('/') + 1);
    }
    return path;
}

// The data must fit: the stored sizes against the space the file system has free.
bool CheckFreeSpace(const std::string& base, const std::vector<PlannedEntry>& plan, std::ostream& err) {
    uint64_t needed = 0;
    for (const PlannedEntry& entry : plan)
        if (!entry.Skipped()) needed += static_cast<uint64_t>(entry.header.Size);
    struct statvfs fs;
    const std::string folder = ExistingAncestor(base);
    if (statvfs(folder.c_str(), &fs) != 0) {
        err << "Error: cannot tell the free space of " << Shown(folder) << ": " << std::strerror(errno) << "\n";
        return false;
    }
    const uint64_t available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    if (needed <= available) return true;
    err << "Error: the entries hold " << needed << " bytes, and the file system of " << Shown(folder)
        << " has " << available << " bytes free\n";
    return false;
}

// Every check that can be made before the first write; false after reporting
// the first problem, naming its entry.
bool PlanExtraction(const inspect::Check& check, const std::string& base, std::vector<PlannedEntry>& plan,
                    std::ostream& err) {
    std::map<std::string, PlannedEntry*> names;
    plan.reserve(check.entries.size());
    for (const inspect::ListedEntry& listed : check.entries) {
        PlannedEntry& entry = plan.emplace_back(PlannedEntry{listed.stored, {}, listed.header});
        if (entry.Skipped()) continue;
        std::string why = ConvertName(entry);
        if (why.empty()) why = CheckAgainstEarlier(entry, names);
        if (why.empty()) why = CheckStanding(base, entry);
        if (!why.empty()) {
            err << "Error: " << Entry(entry.stored) << ": " << why << "; nothing was written\n";
            return false;
        }
        names.emplace(inspect::ComparableName(entry.stored), &entry);
    }
    return CheckFreeSpace(base, plan, err);
}

// Writes what the walk hands over, entry by entry of the plan, below the
// folder open as `base`. Folders are made and opened one part after the other
// without following links; a file is written under a name of its own beside
// its place and renamed into it when complete.
class ExtractingSink final : public stub::EntrySink {
public:
    ExtractingSink(int base, const std::vector<PlannedEntry>& plan) : base_(base), plan_(plan) {}
    ~ExtractingSink() { Abandon(); }

    void MakeFolder(const char*) override {
        const PlannedEntry& entry = Next();
        if (failed_) return;
        const int folder = OpenFolder(entry, entry.parts.size());
        if (folder >= 0) {
            close(folder);
            ++folders;
        }
    }

    // Windows keeps read-only on folders only as a hint; here it would stop
    // the files inside from being created. Files get it as they are finished.
    void SetAttributes(const char*, uint32_t) override {}

    uint32_t BeginFile(const char*, const EntryHeader&, bool& writing) override {
        const PlannedEntry& entry = Next();
        writing = false;
        if (failed_) return static_cast<uint32_t>(platform::WindowsErrorFromErrno(EIO));  // an earlier entry failed
        if (entry.Skipped()) return 0;
        parent_ = OpenFolder(entry, entry.parts.size() - 1);
        if (parent_ < 0) return Failed();
        for (int attempt = 0; fd_ < 0; ++attempt) {
            scratch_ = ".~ql" + std::to_string(getpid()) + "-" + std::to_string(attempt);
            fd_ = openat(parent_, scratch_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd_ < 0 && (errno != EEXIST || attempt == 100)) return Failed();
        }
        writing = true;
        return 0;
    }

    uint32_t Write(const void* data, uint32_t length) override {
        const char* p = static_cast<const char*>(data);
        while (length > 0) {
            ssize_t n = write(fd_, p, length);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = ENOSPC;
                return Failed();
            }
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
        struct stat st;
        if ((header.Attributes & kAttrReadOnly) && fstat(fd_, &st) == 0)
            fchmod(fd_, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        if (!closed || renameat(parent_, scratch_.c_str(), parent_, plan_[index_ - 1].parts.back().c_str()) != 0) {
            // The walk goes on to the checksum and ends well; the file did not arrive.
            Failed();
            Abandon();
            return;
        }
        scratch_.clear();
        close(parent_);
        parent_ = -1;
        ++files;
    }

    void Progress(uint32_t) override {}

    // The first entry that did not arrive, and why; null while all is well.
    const PlannedEntry* failed() const { return failed_; }
    std::string problem;
    uint64_t files = 0, folders = 0;

private:
    const PlannedEntry& Next() { return plan_[index_++]; }

    // The folder of the entry's first `count` parts, made where missing; -1
    // with the problem recorded where a part is no folder or a link.
    int OpenFolder(const PlannedEntry& entry, size_t count) {
        int folder = dup(base_);
        for (size_t i = 0; i < count && folder >= 0; ++i) {
            const char* part = entry.parts[i].c_str();
            if (mkdirat(folder, part, 0777) != 0 && errno != EEXIST) {
                Failed();
                close(folder);
                return -1;
            }
            const int next = openat(folder, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) Failed();
            close(folder);
            folder = next;
        }
        return folder;
    }

    uint32_t Failed() {
        const int error = errno;
        if (!failed_) {
            failed_ = &plan_[index_ - 1];
            problem = error == ELOOP ? "a symbolic link stands in the way" : std::strerror(error);
        }
        return static_cast<uint32_t>(platform::WindowsErrorFromErrno(error));
    }

    // A file that did not arrive leaves nothing behind.
    void Abandon() {
        if (fd_ >= 0) close(fd_);
        if (parent_ >= 0 && !scratch_.empty()) unlinkat(parent_, scratch_.c_str(), 0);
        if (parent_ >= 0) close(parent_);
        fd_ = parent_ = -1;
        scratch_.clear();
    }

    int base_;
    const std::vector<PlannedEntry>& plan_;
    size_t index_ = 0;
    const PlannedEntry* failed_ = nullptr;
    int parent_ = -1, fd_ = -1;
    std::string scratch_;
};

std::string NativePath(const std::string& base, const PlannedEntry& entry) {
    std::string path = base;
    for (size_t i = 0; i < entry.parts.size(); ++i) path += (i ? "/" : "") + entry.parts[i];
    return path;
}

}  // namespace

int ExtractSfx(const std::string& path, const std::string& folder, std::ostream& out, std::ostream& err) {
    inspect::SfxFile sfx;
    inspect::Check check;
    if (!inspect::OpenSfx(path, sfx, err) || !inspect::CheckSfx(sfx, check, err)) return 1;
    std::string base = platform::FullPath(folder);
    if (base.back() != '/') base += '/';
    std::vector<PlannedEntry> plan;
    if (!PlanExtraction(check, base, plan, err)) return 1;

    const int baseFolder = platform::CreateFolderChain(base) ? open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (baseFolder < 0) {
        err << "Error: cannot create the folder " << Shown(base) << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    ExtractingSink sink(baseFolder, plan);
    inspect::FileReader reader(sfx.file);
    const stub::Failure failure = inspect::WalkSfx(sfx, reader, "", sink);
    close(baseFolder);
    if (failure.code || sink.failed()) {
        if (const PlannedEntry* entry = sink.failed())
            err << "Error: cannot write " << Entry(entry->stored) << " to " << Shown(NativePath(base, *entry))
                << ": " << sink.problem << "\n";
        else
            err << "Error: " << path << ": " << inspect::DescribeFailure(sfx, failure, "") << "\n";
        err << "The extraction stopped; " << sink.files << " files were written into " << Shown(base) << "\n";
        return 1;
    }
    out << "Extracted " << sink.files << (sink.files == 1 ? " file" : " files") << " and " << sink.folders
        << (sink.folders == 1 ? " folder" : " folders") << " into " << EscapeControls(base) << "\n";
    return 0;
}

}  // namespace ql
