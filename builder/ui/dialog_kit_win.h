// The Win32 side of the dialog kit: the about box, version texts of a file,
// opening documents and addresses through the shell, and the folder chooser.
#pragma once

#include <windows.h>

#include <string>

namespace ql::ui {

// Four numbers joined by "." from the file's version information; empty
// without one.
std::string FileVersionText(const std::wstring& path);
std::wstring OwnExecutablePath();

// Opens a path, web address or mail address with the shell; false for a
// blank text or when the shell refuses.
bool ShellOpen(const std::string& utf8);

// The shell's folder browser, starting at `folder` when that exists; true
// with the chosen folder in `folder`.
bool ChooseFolder(HWND owner, const std::wstring& caption, const std::wstring& root, std::wstring& folder);

// The modal about box.
void ShowAbout(HWND owner);

}  // namespace ql::ui
