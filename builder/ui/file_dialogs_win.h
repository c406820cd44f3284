// The main window's three file dialogs. Each keeps its folder and filter from
// one use to the next while the window lives.
#pragma once

#include <windows.h>

#include <string>

namespace ql::ui {

class FileDialog {
public:
    enum class Kind { Open, Save };
    FileDialog(Kind kind, const char* filter);

    // The save dialog of the target: starts in the folder part of `text`
    // (untrimmed and unchecked) with its name part; true with the chosen path.
    bool ChooseTarget(HWND owner, std::wstring& text);
    // The open dialogs: start in the folder of the trimmed text when it
    // exists, select the filter of its extension, and give a chosen name
    // without extension the selected filter's one.
    bool ChooseFile(HWND owner, std::wstring& text);

private:
    bool Show(HWND owner, const std::wstring& fileName, std::wstring& chosen);

    Kind kind_;
    const char* filter_;
    std::wstring folder_;
    int filterIndex_ = 1;
};

}  // namespace ql::ui
