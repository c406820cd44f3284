// The portable part of the desktop builder's small services: the texts of
// the dialog boxes and the about box, version texts and the error box's text.
#pragma once

#include <cstdint>
#include <string>

namespace ql::ui {

// The caption table, one row per interface language; this build has one.
enum class Caption : uint8_t {
    ErrorTitle,
    InformationTitle,
    WarningTitle,
    ConfirmationTitle,
    AboutCaption,
    Version,
    Credit,
    Notice,
    WebLabel,
    MailLabel,
    OkButton,
};
const char* CaptionText(Caption caption);  // UTF-8

// Four numbers joined by "." from a fixed file version's two 32-bit words.
std::string FormatFileVersion(uint32_t mostSignificant, uint32_t leastSignificant);

// The text before the second full stop: "5.1.22.7" gives "5.1".
std::string ShortVersionText(const std::string& version);

// The application error box's text: a full stop is appended when the text
// ends in a byte that sorts after it (a letter, a double-byte character).
std::string ApplicationErrorText(const std::string& message);

}  // namespace ql::ui
