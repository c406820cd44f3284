// Paths as the Windows side hands them to the wide API. The engine's paths
// are ANSI text, but for those in the tree form (platform::TreePath): "\\?\"
// and UTF-8, which reach every name below the source folder, whatever the
// code page holds and however deep it lies.
#pragma once

#include <string>

namespace ql::platform {

// True for a path in the tree form.
bool IsTreeForm(const std::string& path);

// The path for the wide API: the tree form as it stands, ANSI text converted,
// in the long form "\\?\" from kLongFormFrom characters on.
std::wstring WidePath(const std::string& path);

// The full path of `path` (UTF-16); empty where Windows cannot make one.
std::wstring FullWidePath(const std::wstring& path);

// The full path of `path` (UTF-16) in the long form, which passes MAX_PATH.
std::wstring LongForm(const std::wstring& path);

// The path as the user writes it: without the long form's "\\?\" ("\\?\UNC\"
// becomes "\\"), for messages and comparisons.
std::wstring PlainWide(const std::string& path);
std::wstring WithoutLongPrefix(const std::wstring& path);

}  // namespace ql::platform
