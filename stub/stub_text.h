// Text rules of the stub that do not need the platform: failure messages and
// the parameter string handed to the program it runs. Byte strings in the
// system ANSI code page.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ql::stub {

// Length of `text` without its trailing control characters, blanks and full stops.
size_t TrimMessageEnd(const char* text, size_t length);

// The failure message: the system text with its first "%1" replaced by the
// subject, or, when it holds none, the subject, an empty line and the text.
// Cut to `capacity` - 1 bytes; returns the length written.
size_t ComposeFailureMessage(const char* subject, const char* systemText, char* out, size_t capacity);

// The parameters for the program the stub runs: the configured ones, then
// each parameter of the stub's own command line (the program name skipped)
// as a blank and the parameter in fresh double quotes. False, with `out`
// holding what fitted, when the result does not fit into `capacity` - 1 bytes.
bool BuildParameterString(const char* configured, const char* commandLine, char* out, size_t capacity);

// True when `text` holds nothing but blanks and control characters.
bool IsBlank(const char* text);

}  // namespace ql::stub
