// The tree form and the long form of Windows paths.
#include "platform/wide_path_win.h"

#include <windows.h>

#include <iterator>

#include "platform/text_win.h"

namespace ql::platform {

namespace {

constexpr char kTreePrefix[] = "\\\\?\\";
constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

// From this length on a path goes in the long form: CreateDirectory takes no
// more than MAX_PATH less room for an 8.3 name, the other functions MAX_PATH.
constexpr size_t kLongFormFrom = MAX_PATH - 12;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

bool IsTreeForm(const std::string& path) { return path.rfind(kTreePrefix, 0) == 0; }

std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (StartsWith(path, kLongUncPrefix)) return L"\\\\" + path.substr(std::size(kLongUncPrefix) - 1);
    if (StartsWith(path, kLongPrefix)) return path.substr(std::size(kLongPrefix) - 1);
    return path;
}

std::wstring FullWidePath(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(n, L'\0');
    if (n == 0 || (n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr)) == 0 || n >= full.size())
        return std::wstring();
    full.resize(n);
    return full;
}

std::wstring LongForm(const std::wstring& path) {
    if (StartsWith(path, kLongPrefix)) return path;
    // The long form is taken as it stands: ".", ".." and "/" are resolved first.
    const std::wstring full = FullWidePath(path);
    if (full.empty()) return path;
    if (StartsWith(full, L"\\\\")) return kLongUncPrefix + full.substr(2);
    return kLongPrefix + full;
}

std::wstring WidePath(const std::string& path) {
    if (IsTreeForm(path)) return Utf8ToWide(path);
    const std::wstring wide = AnsiToWide(path);
    return wide.size() < kLongFormFrom ? wide : LongForm(wide);
}

std::wstring PlainWide(const std::string& path) {
    return IsTreeForm(path) ? WithoutLongPrefix(Utf8ToWide(path)) : AnsiToWide(path);
}

}  // namespace ql::platform
