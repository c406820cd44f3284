// Terminal message boxes.
#include "builder/cli/terminal_dialogs.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "builder/cli/terminal_progress.h"
#include "builder/resources/texts.h"

namespace ql {

std::string EscapeControls(const std::string& text, bool keepLineFeeds) {
    std::string result;
    auto escape = [&result](unsigned char c) {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", c);
        result += code;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80;
        if (c1) {
            escape(c);
            escape(static_cast<unsigned char>(text[++i]));
        } else if ((c < 0x20 && !(keepLineFeeds && c == '\n')) || c == 0x7F) {
            escape(c);
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}

std::string TerminalText(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
    return EscapeControls(plain, true);
}

void TerminalDialogs::ClearProgressLine() {
    if (line_) line_->Clear();
}

void TerminalDialogs::ShowError(const std::string& text) {
    ClearProgressLine();
    std::cerr << Tr(TextId::ErrorTitle) << ": " << TerminalText(text) << "\n";
}

void TerminalDialogs::ShowInformation(const std::string& text) {
    ClearProgressLine();
    std::cout << TerminalText(text) << std::endl;
}

void TerminalDialogs::ShowWarning(const std::string& text) {
    ClearProgressLine();
    std::cerr << Tr(TextId::WarningTitle) << ": " << TerminalText(text) << "\n";
}

bool TerminalDialogs::AskConfirmation(const std::string& text, bool yesIsDefault) {
    if (!isatty(STDIN_FILENO)) return false;
    ClearProgressLine();
    std::cerr << Tr(TextId::ConfirmationTitle) << ": " << TerminalText(text)
              << (yesIsDefault ? " [Y/n] " : " [y/N] ") << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    if (answer.empty()) return yesIsDefault;
    return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace ql
