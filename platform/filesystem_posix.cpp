// POSIX file system: listings sorted by name bytes (reproducible builds) and
// POSIX metadata expressed as the Windows attributes and DOS times SFX files store.
#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/dos_time.h"
#include "platform/posix_time.h"
#include "shared/container.h"

namespace ql::platform {

char PathDelimiter() { return '/'; }

static std::string CurrentFolder() {
    std::string buffer(4096, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.c_str();
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::string absolute = path[0] == '/' ? path : CurrentFolder() + "/" + path;
    bool trailing = absolute.back() == '/';
    // Collapse ".", ".." and repeated slashes without touching the file system,
    // as the Windows full-path operation does.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= absolute.size()) {
        size_t end = absolute.find('/', start);
        if (end == std::string::npos) end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const auto& part : parts) result += "/" + part;
    if (result.empty() || trailing) result += "/";
    return result;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolderChain(const std::string& path) {
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty()) return false;
    if (FolderExists(folder)) return true;
    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !CreateFolderChain(folder.substr(0, slash))) return false;
    return mkdir(folder.c_str(), 0777) == 0 || (errno == EEXIST && FolderExists(folder));
}

void DeleteFileForced(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) chmod(path.c_str(), st.st_mode | S_IWUSR);
    unlink(path.c_str());
}

bool PathsEqual(const std::string& a, const std::string& b) { return a == b; }

bool PathStartsWith(const std::string& path, const std::string& prefix) {
    return path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

static FileIdentity IdOf(const struct stat& st) {
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::optional<long> TodaysUtcOffset() {
    const time_t now = time(nullptr);
    struct tm today;
    if (localtime_r(&now, &today) == nullptr) return std::nullopt;
    return today.tm_gmtoff;
}

// Local time the way Windows computes it for a listing: with today's offset
// from UTC. The stub turns the time back with today's offset too, so the
// round trip is exact, and both builders store the same times.
static uint32_t DosTimeOf(time_t seconds) {
    const std::optional<long> offset = TodaysUtcOffset();
    if (!offset) return kFirstDosTime;
    time_t shifted = seconds + *offset;
    struct tm local;
    if (gmtime_r(&shifted, &local) == nullptr) return kFirstDosTime;
    return DosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec);
}

// Attributes as Windows reports them for files on a POSIX volume: archive for
// files, read-only without the owner's write permission, hidden for dot names,
// reparse point for a link to a folder.
static uint32_t AttributesOf(const std::string& name, const struct stat& st, bool link) {
    uint32_t attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
    if (link && S_ISDIR(st.st_mode)) attributes |= kAttrReparsePoint;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
    if (!name.empty() && name[0] == '.') attributes |= kAttrHidden;
    return attributes;
}

bool ListFolder(const std::string& folder, std::vector<DirItem>& items) {
    items.clear();
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    struct Name {
        std::string name;
        bool mayBeLink;
    };
    std::vector<Name> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(Name{name, entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN});
    }
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return a.name < b.name; });
    // One stat per item: the listing says which items are links, and only
    // those need a second look at the link itself.
    const int fd = dirfd(dir);
    for (const auto& [name, mayBeLink] : names) {
        // Links are followed; one that leads nowhere has nothing to pack.
        struct stat st, linkStat;
        if (fstatat(fd, name.c_str(), &st, 0) != 0) continue;
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;  // devices, pipes, sockets
        bool isLink = mayBeLink && fstatat(fd, name.c_str(), &linkStat, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(linkStat.st_mode);
        bool isFolder = S_ISDIR(st.st_mode);
        items.push_back(DirItem{name, AttributesOf(name, st, isLink),
                                isFolder ? 0 : static_cast<uint64_t>(st.st_size), DosTimeOf(st.st_mtime),
                                isFolder ? IdOf(st) : FileIdentity{}, static_cast<int64_t>(st.st_mtime)});
    }
    closedir(dir);
    return true;
}

std::string TreePath(const std::string& path) { return path; }

FileIdentity IdentityOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? IdOf(st) : FileIdentity{};
}

std::string FollowFileLink(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;  // a link that leads nowhere is replaced itself
    std::string result = resolved;
    free(resolved);
    return result;
}

}  // namespace ql::platform
