// The builder's Win32 message boxes: the four boxes of its own logic, the
// application's error box and the fatal box of a headless build.
#pragma once

#include <windows.h>

#include <string>

#include "builder/engine/dialog_host.h"

namespace ql {

// Boxes asked for on another thread (a build running beside its progress
// window) are shown on the thread that made this object, where the windows live.
class MessageBoxDialogs : public DialogHost {
public:
    MessageBoxDialogs();
    ~MessageBoxDialogs() override;
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    bool AskConfirmation(const std::string& text, bool yesIsDefault) override;

private:
    int Show(const std::string& text, const char* title, UINT flags);
    DWORD thread_;
    HWND relay_;
};

// Titled "Quillon"; a full stop is added when the text ends in a character
// that sorts after it. The path the error concerns, if any, follows on a
// line of its own.
void ShowApplicationErrorBox(const std::string& text, const std::string& path = {});

// Titled TextId::FatalErrorTitle: a failure that ends a headless build.
void ShowFatalErrorBox(const std::string& text);

}  // namespace ql
