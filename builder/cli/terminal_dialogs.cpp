// Terminal message boxes.
#include "builder/cli/terminal_dialogs.h"

#include "builder/cli/terminal_progress.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace ql {

std::string TerminalText(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
    return result;
}

void TerminalDialogs::ClearProgressLine() {
    if (line_) line_->Clear();
}

void TerminalDialogs::ShowError(const std::string& text) {
    ClearProgressLine();
    std::cerr << "Error: " << TerminalText(text) << "\n";
}

void TerminalDialogs::ShowInformation(const std::string& text) {
    ClearProgressLine();
    std::cout << TerminalText(text) << std::endl;
}

void TerminalDialogs::ShowWarning(const std::string& text) {
    ClearProgressLine();
    std::cerr << "Warning: " << TerminalText(text) << "\n";
}

bool TerminalDialogs::AskConfirmation(const std::string& text, bool yesIsDefault) {
    if (!isatty(STDIN_FILENO)) return false;
    ClearProgressLine();
    std::cerr << "Confirmation: " << TerminalText(text) << (yesIsDefault ? " [Y/n] " : " [y/N] ") << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    if (answer.empty()) return yesIsDefault;
    return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace ql
