// Message boxes through MessageBoxW, so the builder's Chinese texts read
// correctly whatever the system's ANSI code page.
#include "builder/ui/message_boxes_win.h"

#include <vector>

#include "builder/engine/build_errors.h"
#include "builder/resources/texts.h"
#include "builder/ui/dialog_kit.h"
#include "platform/text_win.h"

namespace ql {

namespace {

constexpr UINT WM_SHOW_BOX = WM_APP + 10;
constexpr wchar_t kRelayClass[] = L"QuillonBoxRelay";

struct BoxRequest {
    const std::string& text;
    const char* title;
    UINT flags;
    int answer;
};

BOOL CALLBACK CollectTopMost(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The box is owned by the application's active window and modal for the
// whole application; top-most windows step back while it is open so they
// cannot hide it.
int ShowBox(const std::string& text, const char* title, UINT flags) {
    std::vector<HWND> topMost;
    EnumThreadWindows(GetCurrentThreadId(), CollectTopMost, reinterpret_cast<LPARAM>(&topMost));
    for (HWND window : topMost)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND owner = GetActiveWindow();
    int answer = MessageBoxW(owner, platform::Utf8ToWide(text).c_str(), platform::Utf8ToWide(title).c_str(),
                             flags | (owner ? MB_APPLMODAL : MB_TASKMODAL));
    for (HWND window : topMost)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return answer;
}

LRESULT CALLBACK RelayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SHOW_BOX) return DefWindowProcW(window, message, wParam, lParam);
    auto& request = *reinterpret_cast<BoxRequest*>(lParam);
    request.answer = ShowBox(request.text, request.title, request.flags);
    return 0;
}

HWND CreateRelay() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RelayProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kRelayClass;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, kRelayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

}  // namespace

MessageBoxDialogs::MessageBoxDialogs() : thread_(GetCurrentThreadId()), relay_(CreateRelay()) {}

MessageBoxDialogs::~MessageBoxDialogs() {
    if (relay_) DestroyWindow(relay_);
}

int MessageBoxDialogs::Show(const std::string& text, const char* title, UINT flags) {
    if (!relay_ || GetCurrentThreadId() == thread_) return ShowBox(text, title, flags);
    BoxRequest request{text, title, flags, 0};
    SendMessageW(relay_, WM_SHOW_BOX, 0, reinterpret_cast<LPARAM>(&request));
    return request.answer;
}

void MessageBoxDialogs::ShowError(const std::string& text) {
    Show(text, Tr(TextId::ErrorTitle), MB_OK | MB_ICONERROR);
}

void MessageBoxDialogs::ShowInformation(const std::string& text) {
    Show(text, Tr(TextId::InformationTitle), MB_OK | MB_ICONINFORMATION);
}

void MessageBoxDialogs::ShowWarning(const std::string& text) {
    Show(text, Tr(TextId::WarningTitle), MB_OK | MB_ICONWARNING);
}

bool MessageBoxDialogs::AskConfirmation(const std::string& text, bool yesIsDefault) {
    UINT flags = MB_YESNO | MB_ICONQUESTION | (yesIsDefault ? 0 : MB_DEFBUTTON2);
    return Show(text, Tr(TextId::ConfirmationTitle), flags) == IDYES;
}

void ShowApplicationErrorBox(const std::string& text, const std::string& path) {
    ShowBox(WithPathLine(ui::ApplicationErrorText(text), path), "Quillon", MB_OK | MB_ICONERROR);
}

void ShowFatalErrorBox(const std::string& text) {
    ShowBox(text, Tr(TextId::FatalErrorTitle), MB_OK | MB_ICONERROR);
}

}  // namespace ql
