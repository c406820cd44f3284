// Message boxes through MessageBoxW, so the builder's Chinese texts read
// correctly whatever the system's ANSI code page.
#include "builder/ui/message_boxes.h"

#include <vector>
#include <windows.h>

namespace ql {

namespace {

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

BOOL CALLBACK CollectTopMost(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The box is owned by the application's top-level window and modal for the
// whole application; top-most windows step back while it is open so they
// cannot hide it.
int ShowBox(const std::string& text, const char* title, UINT flags) {
    std::vector<HWND> topMost;
    EnumThreadWindows(GetCurrentThreadId(), CollectTopMost, reinterpret_cast<LPARAM>(&topMost));
    for (HWND window : topMost)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND owner = GetActiveWindow();
    int answer = MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(),
                             flags | (owner ? MB_APPLMODAL : MB_TASKMODAL));
    for (HWND window : topMost)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return answer;
}

}  // namespace

void MessageBoxDialogs::ShowError(const std::string& text) { ShowBox(text, "Error", MB_OK | MB_ICONERROR); }

void MessageBoxDialogs::ShowInformation(const std::string& text) {
    ShowBox(text, "Information", MB_OK | MB_ICONINFORMATION);
}

void MessageBoxDialogs::ShowWarning(const std::string& text) { ShowBox(text, "Warning", MB_OK | MB_ICONWARNING); }

bool MessageBoxDialogs::AskConfirmation(const std::string& text, bool yesIsDefault) {
    UINT flags = MB_YESNO | MB_ICONQUESTION | (yesIsDefault ? 0 : MB_DEFBUTTON2);
    return ShowBox(text, "Confirmation", flags) == IDYES;
}

void ShowApplicationErrorBox(const std::string& text) {
    std::string shown = text;
    if (!shown.empty() && static_cast<unsigned char>(shown.back()) > '.') shown += '.';
    ShowBox(shown, "Quillon", MB_OK | MB_ICONERROR);
}

void ShowFatalErrorBox(const std::string& text) { ShowBox(text, "程序错误", MB_OK | MB_ICONERROR); }

}  // namespace ql
