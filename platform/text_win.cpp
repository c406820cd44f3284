// Win32 text services: native text already is ANSI text.
#include "platform/text.h"

#include <windows.h>

namespace ql::platform {

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

bool ToAnsi(const std::string& native, std::string& ansi) {
    ansi = native;
    return true;
}

int AnsiCodePage() { return static_cast<int>(GetACP()); }

bool FromAnsi(const std::string& ansi, std::string& native) {
    native = ansi;
    return true;
}

bool IsAnsiLeadByte(unsigned char c) { return IsLeadByte(c); }

std::string ToDisplay(const std::string& native) {
    if (native.empty()) return native;
    int wide = MultiByteToWideChar(CP_ACP, 0, native.data(), static_cast<int>(native.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, native.data(), static_cast<int>(native.size()), w.data(), wide);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

}  // namespace ql::platform

namespace ql::platform {

std::string SystemMessage(int code) {
    char buffer[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    while (n > 0 && static_cast<unsigned char>(buffer[n - 1]) <= 32) --n;
    return ToDisplay(std::string(buffer, n));
}

}  // namespace ql::platform
