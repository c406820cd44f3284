// Paths, folders and listings: the few file-system services the builder uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql::platform {

// The separator of native paths: a backslash on Windows, a slash on POSIX.
char PathDelimiter();

// An absolute form of `path`, taken against the current folder. Empty stays empty.
std::string FullPath(const std::string& path);

bool FileExists(const std::string& path);  // a file; a folder of that name does not count
bool FolderExists(const std::string& path);

// Creates the folder and all its missing parents; false when that fails.
bool CreateFolderChain(const std::string& path);

// Clears the attributes (read-only and the like), then deletes; results ignored.
void DeleteFileForced(const std::string& path);

// Path comparisons as the file system sees them: without regard to case on
// Windows, byte for byte on POSIX.
bool PathsEqual(const std::string& a, const std::string& b);
bool PathStartsWith(const std::string& path, const std::string& prefix);

// What a path leads to, whatever links it goes through: the volume and the
// file's number on it. All zero where the platform cannot tell.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool Known() const { return volume != 0 || index != 0; }
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path);

// The file a symbolic link leads to, so that it is replaced rather than the
// link; any other path as it stands.
std::string FollowFileLink(const std::string& path);

// The form of a full path (a folder ending with the delimiter, or a file)
// that reaches every name below it: names of a listing (UTF-8) appended to
// it open what they name. On POSIX the path as it stands, since native text
// is UTF-8; on Windows its long form "\\?\" as UTF-8, which the functions
// here take beside ANSI paths, so that names the code page cannot hold and
// paths beyond MAX_PATH are reached.
std::string TreePath(const std::string& path);

// One item of a folder listing, with what a container entry needs.
struct DirItem {
    std::string name;       // the item's own name, UTF-8 (on POSIX its bytes as they are)
    uint32_t attributes;    // Windows attribute bits (0x10 folder, 0x08 volume label, ...)
    uint64_t size;          // the full size; 0 for folders
    uint32_t dosTime;       // last write, MS-DOS date and time in local time
    FileIdentity folderId;  // identifies a folder across links; unknown for files
    int64_t writeTime = 0;  // last write, seconds since 1970-01-01 00:00:00 UTC
    // The system's name has no UTF-8 form (on Windows a lone surrogate half):
    // `name` holds U+FFFD in its place and opens nothing.
    bool nameLost = false;
};

// Lists the items of `folder` (a TreePath, ending with the delimiter),
// without "." and "..". False when the folder cannot be listed at all.
bool ListFolder(const std::string& folder, std::vector<DirItem>& items);

}  // namespace ql::platform
