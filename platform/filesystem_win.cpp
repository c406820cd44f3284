// Win32 file system through the wide functions: ANSI paths are converted, and
// paths in the tree form reach every name and depth (platform/wide_path_win.h).
#include "platform/filesystem.h"

#include <windows.h>

#include "platform/dos_time.h"
#include "platform/text.h"
#include "platform/text_win.h"
#include "platform/wide_path_win.h"

namespace ql::platform {

char PathDelimiter() { return '\\'; }

// A path given in the long form comes back without it, so that the engine's
// ANSI paths never look like the tree form.
std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    const std::wstring full = FullWidePath(AnsiToWide(path));
    std::string ansi;
    return !full.empty() && WideToAnsi(WithoutLongPrefix(full), ansi) ? ansi : path;
}

std::string TreePath(const std::string& path) {
    return IsTreeForm(path) ? path : WideToUtf8(LongForm(AnsiToWide(path)));
}

static DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool FileExists(const std::string& path) {
    DWORD attributes = AttributesOf(path);
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    DWORD attributes = AttributesOf(path);
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
    return CreateDirectoryW(WidePath(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void DeleteFileForced(const std::string& path) {
    const std::wstring wide = WidePath(path);
    SetFileAttributesW(wide.c_str(), 0);
    DeleteFileW(wide.c_str());
}

// Either path may be in the tree form: they are compared as the user writes them.
bool PathsEqual(const std::string& a, const std::string& b) {
    const std::wstring x = PlainWide(a), y = PlainWide(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()),
                          y.data(), static_cast<int>(y.size())) == CSTR_EQUAL;
}

// Whole characters only: C:\ソ (whose last byte is 0x5C) is no folder of C:\ソフト.
bool PathStartsWith(const std::string& path, const std::string& prefix) {
    return IsCharacterBoundary(path, prefix.size()) &&
           SameTextIgnoringCase(path.substr(0, prefix.size()), prefix);
}

static uint32_t DosTimeOf(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return kFirstDosTime;
    return DosDateTime(parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond);
}

// File times count 100-nanosecond steps from 1601-01-01 UTC.
static int64_t UnixTimeOf(const FILETIME& utc) {
    const int64_t ticks =
        static_cast<int64_t>((static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime);
    return ticks / 10000000 - 11644473600LL;
}

// The listing is read in UTF-16 and handed on as UTF-8, so that every name
// arrives whole, whatever the code page holds.
bool ListFolder(const std::string& folder, std::vector<DirItem>& items) {
    items.clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((WidePath(folder) + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        const std::string name = WideToUtf8(data.cFileName);
        if (name == "." || name == "..") continue;
        // A lone surrogate half, which NTFS allows, has no UTF-8 form.
        const bool lost = Utf8ToWide(name) != data.cFileName;
        uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        items.push_back(DirItem{name, data.dwFileAttributes, size, DosTimeOf(data.ftLastWriteTime),
                                isFolder && !lost ? IdentityOf(folder + name) : FileIdentity{},
                                UnixTimeOf(data.ftLastWriteTime), lost});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

FileIdentity IdentityOf(const std::string& path) {
    // Backup semantics open folders too; no access is asked, so a file that
    // another program holds open still tells who it is.
    HANDLE h = CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
