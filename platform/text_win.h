// Text conversions of the Windows side only: between UTF-8, the ANSI code
// page and the wide API.
#pragma once

#include <string>
#include <string_view>

namespace ql::platform {

// The text of the Windows wide API: the windows and boxes draw UTF-8 texts
// through it, so Chinese reads right on any system code page, while paths
// stay in the ANSI code page the engine and the SFX file use.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::wstring AnsiToWide(std::string_view ansi);
// False when a character has no counterpart in the ANSI code page; `ansi`
// then holds the code page's default character (a question mark) in its
// place, never a look-alike.
bool WideToAnsi(std::wstring_view wide, std::string& ansi);

}  // namespace ql::platform
