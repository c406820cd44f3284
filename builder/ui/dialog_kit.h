// The portable part of the desktop builder's small services: version texts
// and the error box's text.
#pragma once

#include <cstdint>
#include <string>

namespace ql::ui {

// Four numbers joined by "." from a fixed file version's two 32-bit words.
std::string FormatFileVersion(uint32_t mostSignificant, uint32_t leastSignificant);

// The text before the second full stop: "5.1.22.7" gives "5.1".
std::string ShortVersionText(const std::string& version);

// The application error box's text: a full stop is appended when the text
// ends in a byte that sorts after it (a letter, a double-byte character).
std::string ApplicationErrorText(const std::string& message);

}  // namespace ql::ui
