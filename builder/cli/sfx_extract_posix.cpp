// --extract: the stub's container walk writing the tree into a POSIX folder.
// One walk checks the container as --test does and unpacks each chunk once,
// into a staging folder inside the target folder; only when every check has
// passed (the container, every name as it converts, the entries against each
// other and against what already stands in the folder) does the tree move into
// place, so that a damaged file changes nothing. The free space is checked
// before the walk. Nothing is written through a symbolic link that stands in
// the folder, and an existing file is replaced, never rewritten in place, so
// that a hard link elsewhere keeps its data.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
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
    // The self-delete program is no part of the tree.
    bool Skipped() const { return EntryKind(header) == kEntryHelper; }
    bool Utf8() const { return IsExtendedEntry(header); }
};

std::string Entry(const PlannedEntry& entry) {
    return "entry " + inspect::Quoted(inspect::DisplayName(entry.stored, entry.Utf8()));
}

std::string Shown(const std::string& native) { return inspect::Quoted(EscapeControls(native)); }

std::string CodePage() { return "code page " + std::to_string(platform::AnsiCodePage()); }

// The stored name's parts in native text, each one plain name here; why not, or nothing.
std::string ConvertName(PlannedEntry& entry) {
    const std::string from = entry.Utf8() ? "UTF-8" : CodePage();
    for (const std::string& stored : inspect::StoredNameParts(entry.stored, entry.Utf8())) {
        std::string part;
        if (!inspect::NameText(stored, entry.Utf8(), part))
            return "the name cannot be converted from " + from;
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos ||
            part.find('\0') != std::string::npos)
            return "in " + from + " the name turns into " + Shown(part) + ", which is no plain name here";
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
    for (const std::string& folder : inspect::FolderPrefixes(entry.stored, entry.Utf8())) {
        const auto earlier = names.find(inspect::ComparableName(folder, entry.Utf8()));
        if (earlier != names.end() && !IsFolderEntry(earlier->second->header))
            return "it lies inside the file " + Entry(*earlier->second);
    }
    const auto earlier = names.find(inspect::ComparableName(entry.stored, entry.Utf8()));
    if (earlier != names.end()) return "it has the name of " + Entry(*earlier->second) + " but for case";
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
            return errno == ENOENT ? std::string()
                                   : "cannot look at " + Shown(path) + ": " + std::strerror(errno);
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

// The data must fit: the stored sizes, as the headers give them, against the
// space the file system has free. A container whose headers do not lead to
// its end passes here; the walk says what is wrong with it. `folder` is the
// nearest one that exists on the way to the extraction folder.
bool CheckFreeSpace(inspect::SfxFile& sfx, const std::string& folder, std::ostream& err) {
    inspect::FileReader reader(sfx.file);
    stub::EntryTotals totals;
    const bool compressed = sfx.config[config::kCompression] != 0;
    if (stub::SizeEntries(reader, sfx.start, static_cast<int64_t>(sfx.size), compressed, totals, nullptr))
        return true;
    const uint64_t needed = static_cast<uint64_t>(totals.size);
    struct statvfs fs;
    if (statvfs(folder.c_str(), &fs) != 0) {
        err << "Error: cannot tell the free space of " << Shown(folder) << ": " << std::strerror(errno)
            << "\n";
        return false;
    }
    const uint64_t available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    if (needed <= available) return true;
    err << "Error: the entries hold " << needed << " bytes, and the file system of " << Shown(folder)
        << " has " << available << " bytes free\n";
    return false;
}

// The checks of the names, once the walk has seen every entry; false after
// reporting the first problem, naming its entry.
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
            err << "Error: " << Entry(entry) << ": " << why << "; nothing was written\n";
            return false;
        }
        names.emplace(inspect::ComparableName(entry.stored, entry.Utf8()), &entry);
    }
    return true;
}

// Opens the folder of the entry's first `count` parts below `base`, made
// part by part where missing and never through a link; -1 with errno set where
// a part is no folder or a link.
int OpenFolder(int base, const PlannedEntry& entry, size_t count) {
    int folder = dup(base);
    for (size_t i = 0; i < count && folder >= 0; ++i) {
        const char* part = entry.parts[i].c_str();
        if (mkdirat(folder, part, 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            close(folder);
            errno = error;
            return -1;
        }
        const int next = openat(folder, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        close(folder);
        errno = error;
        folder = next;
    }
    return folder;
}

std::string Problem(int error) {
    return error == ELOOP ? "a symbolic link stands in the way" : std::strerror(error);
}

// Unpacks every file the walk hands over into the staging folder, under the
// number of its entry, with its time and read-only bit; folders come later.
class StagingSink final : public stub::EntrySink {
public:
    explicit StagingSink(int staging) : staging_(staging) {}
    ~StagingSink() { Close(); }

    void MakeFolder(const char*, const stub::WalkEntry&) override { ++entry_; }
    void SetAttributes(const char*, const stub::WalkEntry&) override {}
    void Progress(uint32_t) override {}

    uint32_t BeginFile(const char* path, const stub::WalkEntry& entry, bool& writing) override {
        const std::string name = std::to_string(entry_++);
        current_ = inspect::DisplayName(path, IsExtendedEntry(entry.header));
        writing = false;
        if (EntryKind(entry.header) == kEntryHelper)
            return 0;  // the self-delete program is no part of the tree
        fd_ = openat(staging_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0) return Failed();
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
    void EndFile(const stub::WalkEntry& entry, bool writing) override {
        if (!writing) return;
        const EntryHeader& header = entry.header;
        const long offset = platform::TodaysUtcOffset().value_or(0);
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(platform::UnixTimeFromDosUtc(header.FileTime) - offset);
        times[1].tv_nsec = 0;
        futimens(fd_, times);
        struct stat st;
        if ((header.Attributes & kAttrReadOnly) && fstat(fd_, &st) == 0)
            fchmod(fd_, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
        if (close(fd_) != 0) Failed();
        fd_ = -1;
    }

    // The first entry that could not be unpacked, as shown, and why.
    std::optional<std::string> failed;
    std::string problem;

private:
    uint32_t Failed() {
        const int error = errno;
        if (!failed) {
            failed = current_;
            problem = Problem(error);
        }
        Close();
        return static_cast<uint32_t>(platform::WindowsErrorFromErrno(error));
    }

    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    int staging_;
    size_t entry_ = 0;
    std::string current_;  // the entry being unpacked, as shown
    int fd_ = -1;
};

std::string NativePath(const std::string& base, const PlannedEntry& entry) {
    std::string path = base;
    for (size_t i = 0; i < entry.parts.size(); ++i) path += (i ? "/" : "") + entry.parts[i];
    return path;
}

// Moves the staged tree into place entry by entry: folders are made, files
// renamed over whatever file stood there. Counts what it placed; false after
// reporting the entry it could not place.
bool MoveIntoPlace(int base, int staging, const std::string& basePath, const std::vector<PlannedEntry>& plan,
                   uint64_t& files, uint64_t& folders, std::ostream& err) {
    for (size_t i = 0; i < plan.size(); ++i) {
        const PlannedEntry& entry = plan[i];
        if (entry.Skipped()) continue;
        const bool folder = IsFolderEntry(entry.header);
        const int parent = OpenFolder(base, entry, entry.parts.size() - (folder ? 0 : 1));
        const bool placed = parent >= 0 && (folder || renameat(staging, std::to_string(i).c_str(), parent,
                                                               entry.parts.back().c_str()) == 0);
        const int error = errno;
        if (parent >= 0) close(parent);
        if (!placed) {
            err << "Error: cannot write " << Entry(entry) << " to " << Shown(NativePath(basePath, entry))
                << ": " << Problem(error) << "\n"
                << "The extraction stopped; " << files << " files were written into " << Shown(basePath)
                << "\n";
            return false;
        }
        ++(folder ? folders : files);
    }
    return true;
}

// Takes away the staging folder with what is left in it, and, when nothing
// was placed, the folders made for the extraction.
void Clean(int base, const std::string& stagingName, const std::string& basePath, const std::string& existed,
           bool placed) {
    if (!stagingName.empty()) {
        std::vector<platform::DirItem> items;
        platform::ListFolder(basePath + stagingName + "/", items);
        const int staging =
            openat(base, stagingName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        for (const platform::DirItem& item : items)
            if (staging >= 0) unlinkat(staging, item.name.c_str(), 0);
        if (staging >= 0) close(staging);
        unlinkat(base, stagingName.c_str(), AT_REMOVEDIR);
    }
    if (placed) return;
    std::string folder = basePath;
    while (folder.size() > existed.size()) {
        folder.pop_back();  // the trailing slash
        if (rmdir(folder.c_str()) != 0) break;
        folder.resize(folder.find_last_of('/') + 1);
    }
}

}  // namespace

int ExtractSfx(const std::string& path, const std::string& folder, std::ostream& out, std::ostream& err) {
    inspect::SfxFile sfx;
    if (!inspect::OpenSfx(path, sfx, err)) return 1;
    if (folder.empty()) {
        err << "Error: no folder to extract into\n";
        return 2;
    }
    std::string base = platform::FullPath(folder);
    if (base.back() != '/') base += '/';
    const std::string existed = ExistingAncestor(base);
    if (!CheckFreeSpace(sfx, existed, err)) return 1;

    const int baseFolder =
        platform::CreateFolderChain(base) ? open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    std::string stagingName;
    for (int attempt = 0; baseFolder >= 0 && attempt < 100 && stagingName.empty(); ++attempt) {
        const std::string name = ".~ql-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        if (mkdirat(baseFolder, name.c_str(), 0700) == 0) stagingName = name;
    }
    const int staging = stagingName.empty()
                            ? -1
                            : openat(baseFolder, stagingName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (staging < 0) {
        err << "Error: cannot create the folder " << Shown(base) << ": " << std::strerror(errno) << "\n";
        if (baseFolder >= 0) {
            Clean(baseFolder, stagingName, base, existed, false);
            close(baseFolder);
        }
        return 1;
    }

    StagingSink sink(staging);
    inspect::Check check;
    std::vector<PlannedEntry> plan;
    uint64_t files = 0, folders = 0;
    bool placed = false, done = false;
    // A failed write stops the walk as well: that is then the fault to report,
    // not the SFX file, whose remaining entries were never read.
    std::ostringstream checkErrors;
    const bool checked = inspect::CheckSfx(sfx, check, checkErrors, &sink);
    if (sink.failed) {
        err << "Error: cannot unpack entry '" << *sink.failed << "' into " << Shown(base + stagingName)
            << ": " << sink.problem << "; nothing was written\n";
    } else if (!checked) {
        err << checkErrors.str();
    } else if (PlanExtraction(check, base, plan, err)) {
        placed = true;
        done = MoveIntoPlace(baseFolder, staging, base, plan, files, folders, err);
    }
    close(staging);
    Clean(baseFolder, stagingName, base, existed, placed);
    close(baseFolder);
    if (!done) return 1;
    out << "Extracted " << files << (files == 1 ? " file" : " files") << " and " << folders
        << (folders == 1 ? " folder" : " folders") << " into " << EscapeControls(base) << "\n";
    return 0;
}

}  // namespace ql
