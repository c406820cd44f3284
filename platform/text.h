// Text services: the ANSI code page of stored names and the builder's texts.
#pragma once

#include <string>

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

// The ANSI code page that ToAnsi writes.
int AnsiCodePage();

// Native text as UTF-8, for messages.
std::string ToDisplay(const std::string& native);

// The system's own text for a Windows error code, as UTF-8.
std::string SystemMessage(int code);

}  // namespace ql::platform
