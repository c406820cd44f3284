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

// Message-box text for a terminal: CR LF line breaks become plain line feeds.
std::string TerminalText(const std::string& text);

}  // namespace ql
