// Win32 file system through the ANSI functions.
#include "platform/filesystem.h"

#include <windows.h>

#include "platform/dos_time.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::platform {

char PathDelimiter() { return '\\'; }

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    char buffer[MAX_PATH + 1];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer) return path;
    return std::string(buffer, n);
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderChain(const std::string& path) {
    std::string folder = path;
    while (EndsWithCharacter(folder, '\\')) folder.pop_back();
    if (folder.empty()) return false;
    if (FolderExists(folder) || (folder.size() == 2 && folder[1] == ':')) return true;
    const size_t parent = FolderPartLength(folder, '\\');  // with its backslash
    if (parent > 1 && !CreateFolderChain(folder.substr(0, parent - 1))) return false;
    return CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void DeleteFileForced(const std::string& path) {
    SetFileAttributesA(path.c_str(), 0);
    DeleteFileA(path.c_str());
}

static bool SameNoCase(const char* a, int aLength, const char* b, int bLength) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, aLength, b, bLength) == CSTR_EQUAL;
}

bool PathsEqual(const std::string& a, const std::string& b) {
    return SameNoCase(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
}

// Whole characters only: C:\ソ (whose last byte is 0x5C) is no folder of C:\ソフト.
bool PathStartsWith(const std::string& path, const std::string& prefix) {
    return IsCharacterBoundary(path, prefix.size()) &&
           SameNoCase(path.data(), static_cast<int>(prefix.size()), prefix.data(),
                      static_cast<int>(prefix.size()));
}

static uint32_t DosTimeOf(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts))
        return kFirstDosTime;
    return DosDateTime(parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond);
}

// File times count 100-nanosecond steps from 1601-01-01 UTC.
static int64_t UnixTimeOf(const FILETIME& utc) {
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime);
    return ticks / 10000000 - 11644473600LL;
}

// The listing is read in UTF-16, so that a name the ANSI code page cannot
// hold is noticed instead of arriving as question marks: the ANSI functions
// would then find neither the file nor what is inside the folder.
bool ListFolder(const std::string& folder, std::vector<DirItem>& items) {
    items.clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((AnsiToWide(folder) + L"*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        std::string name;
        const bool lost = !WideToAnsi(data.cFileName, name);
        if (name == "." || name == "..") continue;
        uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        items.push_back(DirItem{name, data.dwFileAttributes, size, DosTimeOf(data.ftLastWriteTime),
                                isFolder && !lost ? IdentityOf(folder + name) : FileIdentity{},
                                lost ? WideToUtf8(data.cFileName) : std::string(),
                                UnixTimeOf(data.ftLastWriteTime)});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

FileIdentity IdentityOf(const std::string& path) {
    // Backup semantics open folders too; no access is asked, so a file that
    // another program holds open still tells who it is.
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FileIdentity{};
    BY_HANDLE_FILE_INFORMATION info;
    FileIdentity id;
    if (GetFileInformationByHandle(h, &info))
        id = FileIdentity{info.dwVolumeSerialNumber,
                          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    CloseHandle(h);
    return id;
}

std::string FollowFileLink(const std::string& path) { return path; }

}  // namespace ql::platform
