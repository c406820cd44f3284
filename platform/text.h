// Text services: the ANSI code page of stored names and the builder's texts.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "shared/ansi_text.h"

namespace ql::platform {

// Switch names and the like, compared without regard to case the way the
// user's locale does it.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// True for the first byte of a double-byte character of the ANSI code page.
bool IsLeadByte(unsigned char c);

// Converts native text (a path or name as the file system gives it) into the
// bytes of the Windows ANSI code page that SFX files store. False when a
// character cannot be represented there.
bool ToAnsi(const std::string& native, std::string& ansi);

// A name of a listing (UTF-8, platform::DirItem) in the ANSI code page that
// ToAnsi writes; false when a character cannot be represented there.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);

// The ANSI code page that ToAnsi writes.
int AnsiCodePage();

// Selects the code page that ToAnsi writes, where the builder may choose it
// (the Linux builder): false for one that is no Windows ANSI or OEM code page
// keeping ASCII, or that the system cannot convert. On Windows only the
// system's own is taken.
bool SetAnsiCodePage(int codePage);

// Stored ANSI bytes back as native text; false when a byte sequence is no
// character of the code page.
bool FromAnsi(const std::string& ansi, std::string& native);

// True for the first byte of a double-byte character of the code page that
// ToAnsi writes (IsLeadByte is about native text, which on POSIX is UTF-8).
bool IsAnsiLeadByte(unsigned char c);

// How the code page that ToAnsi writes forms the characters of stored names,
// for the name rule of shared/entry_name.h.
NameEncoding AnsiNameEncoding();

// UTF-8 text with each character in its upper-case form, as Windows compares
// file names; a byte that is no UTF-8 character stays as it is.
std::string UpperCaseName(std::string_view utf8);

// Native text as UTF-8, for messages; a path in the tree form
// (platform::TreePath) as the user writes it.
std::string ToDisplay(const std::string& native);

// Text in the given Windows code page (for example the help text, stored in
// GBK, code page 936) as UTF-8, whatever code page the system uses.
std::string CodePageToUtf8(std::string_view text, int codePage);

// The system's own text for a Windows error code, as UTF-8.
std::string SystemMessage(int code);

// Removes leading and trailing blanks and control characters (codes 0 to 32).
std::string TrimText(const std::string& text);

// Appends the path delimiter unless the path is empty or already ends with it.
std::string WithTrailingDelimiter(const std::string& path);

// Replaces each "%s" of the pattern, in order, by the next argument.
std::string FillPattern(const std::string& pattern, std::initializer_list<std::string> arguments);

// Paths in native text scanned character by character, so that the trail byte
// 0x5C of a double-byte character is never taken for a backslash. The lead-byte
// test (the one of shared/ansi_text.h) is the ANSI code page's unless another
// is given.

// True when the last character of `text` is `c`.
bool EndsWithCharacter(const std::string& text, char c, LeadByteTest isLead = IsLeadByte);

// The length of the folder part of `path`: up to and including its last
// `delimiter`; 0 when it has none.
size_t FolderPartLength(const std::string& path, char delimiter, LeadByteTest isLead = IsLeadByte);

// True when the first `length` bytes of `text` end on a whole character: the
// length does not cut a double-byte character in two (nor reach past the end).
bool IsCharacterBoundary(const std::string& text, size_t length, LeadByteTest isLead = IsLeadByte);

}  // namespace ql::platform
