// Win32 text services: native text already is ANSI text; every conversion
// between code pages, UTF-8 and the wide API goes through here.
#include "platform/text_win.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/wide_path_win.h"

namespace ql::platform {

namespace {

std::wstring ToWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), n);
    return wide;
}

// `lossless` is left alone where the code page cannot tell (UTF-8 never loses).
// No best fit: a character the code page lacks would otherwise turn silently
// into a look-alike (a path into the path of another file) and count as kept.
std::string FromWide(std::wstring_view wide, UINT codePage, bool* lossless = nullptr) {
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    BOOL* flag = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, flag);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), length, text.data(), n, nullptr, flag);
    if (lossless && flag) *lossless = !usedDefault;
    return text;
}

}  // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

bool ToAnsi(const std::string& native, std::string& ansi) {
    ansi = native;
    return true;
}

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) { return WideToAnsi(Utf8ToWide(utf8), ansi); }

int AnsiCodePage() { return static_cast<int>(GetACP()); }

bool SetAnsiCodePage(int codePage) { return codePage == AnsiCodePage(); }

bool FromAnsi(const std::string& ansi, std::string& native) {
    native = ansi;
    return true;
}

bool IsAnsiLeadByte(unsigned char c) { return IsLeadByte(c); }

std::string ToDisplay(const std::string& native) {
    return IsTreeForm(native) ? WideToUtf8(PlainWide(native)) : CodePageToUtf8(native, CP_ACP);
}

std::string UpperCaseName(std::string_view utf8) {
    std::wstring wide = ToWide(utf8, CP_UTF8);
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return FromWide(wide, CP_UTF8);
}

std::string CodePageToUtf8(std::string_view text, int codePage) {
    return FromWide(ToWide(text, static_cast<UINT>(codePage)), CP_UTF8);
}

std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }

std::string WideToUtf8(std::wstring_view wide) { return FromWide(wide, CP_UTF8); }

std::wstring AnsiToWide(std::string_view ansi) { return ToWide(ansi, CP_ACP); }

bool WideToAnsi(std::wstring_view wide, std::string& ansi) {
    bool lossless = true;
    ansi = FromWide(wide, CP_ACP, &lossless);
    return lossless;
}

std::string SystemMessage(int code) {
    char buffer[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    while (n > 0 && static_cast<unsigned char>(buffer[n - 1]) <= 32) --n;
    return ToDisplay(std::string(buffer, n));
}

}  // namespace ql::platform
