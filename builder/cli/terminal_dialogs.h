// The builder's message boxes on a terminal: errors and warnings on standard
// error, information on standard output, questions answered on the terminal.
#pragma once

#include "builder/engine/dialog_host.h"

namespace ql {

class TerminalProgress;

class TerminalDialogs : public DialogHost {
public:
    // The progress line that a message takes the place of; may be null.
    void SetProgressLine(TerminalProgress* line) { line_ = line; }

    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    // Without a terminal to ask on, the answer is No.
    bool AskConfirmation(const std::string& text, bool yesIsDefault) override;

private:
    void ClearProgressLine();

    TerminalProgress* line_ = nullptr;
};

// UTF-8 text that a terminal shows as it stands: every control character
// (bytes below 0x20, 0x7F, and U+0080 to U+009F) written as \xNN, so that a
// name stored in an SFX file or found in a source tree cannot send escape
// sequences. Line feeds stay where `keepLineFeeds` says so.
std::string EscapeControls(const std::string& text, bool keepLineFeeds = false);

// Message-box text for a terminal: CR LF line breaks become plain line feeds,
// other control characters are escaped.
std::string TerminalText(const std::string& text);

}  // namespace ql
