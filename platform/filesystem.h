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

bool FileExists(const std::string& path);    // a file; a folder of that name does not count
bool FolderExists(const std::string& path);

// Creates the folder and all its missing parents; false when that fails.
bool CreateFolderChain(const std::string& path);

// Clears the attributes (read-only and the like), then deletes; results ignored.
void DeleteFileForced(const std::string& path);

// Path comparisons as the file system sees them: without regard to case on
// Windows, byte for byte on POSIX.
bool PathsEqual(const std::string& a, const std::string& b);
bool PathStartsWith(const std::string& path, const std::string& prefix);

// One item of a folder listing, with what a container entry needs.
struct DirItem {
    std::string name;     // the item's own name, native bytes
    uint32_t attributes;  // Windows attribute bits (0x10 folder, 0x08 volume label, ...)
    uint64_t size;        // the full size; 0 for folders
    uint32_t dosTime;     // last write, MS-DOS date and time in local time
    uint64_t folderId;    // identifies a folder across links; 0 where unknown
};

// Lists the items of `folder` (which ends with the delimiter), without "." and
// "..". False when the folder cannot be listed at all.
bool ListFolder(const std::string& folder, std::vector<DirItem>& items);

// The identity of a folder for loop detection (see DirItem::folderId).
uint64_t FolderId(const std::string& folder);

}  // namespace ql::platform
