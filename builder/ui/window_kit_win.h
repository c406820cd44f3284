// What every window of the desktop builder shares: creation from its control
// table, the fonts, link labels, keyboard handling and modal loops.
#pragma once

#include <windows.h>

#include <string>

#include "builder/ui/layout.h"

namespace ql::ui {

// Private messages. WM_DELAYED_START is posted by a window to itself when it
// is shown, with both parameters equal to the message number, so that its
// work starts once it is on the screen.
constexpr UINT WM_DELAYED_START = 0xD00;
constexpr UINT WM_BUILD_REPORT = WM_APP + 1;
constexpr UINT WM_BUILD_DONE = WM_APP + 2;

// The frame of the small windows: a caption with a close box, no resizing.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

enum class FontStyle { Normal, Bold, Text, AboutTitle, AboutVersion };
HFONT UiFont(FontStyle style);

// A top-level window built from a control table; subclasses handle its messages.
class Window {
public:
    virtual ~Window();
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }

    // Keys go to the window before its controls: true when the key was used.
    virtual bool PreviewKey(const MSG&) { return false; }

    // Gives the control the keyboard focus, now and whenever the window is
    // activated again (after a box or another window it opened).
    void FocusControl(int id);

protected:
    // Creates the window with a client area of the table's size, centred over
    // `owner` (or the screen), and every control of the table in its order.
    bool Create(const WindowSpec& table, DWORD style, HWND owner, const std::wstring& caption);
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Destroy();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Common(UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    HWND focus_ = nullptr;  // the control that gets the focus back on activation
};

// A window shown modally that ends with a result. Its closing button is the
// default button (Enter presses it); the button, Esc, the close box and the
// dialog's cancel command end it with `closeResult`.
class ModalWindow : public Window {
public:
    ModalWindow(int closeButton, int closeResult) : closeButton_(closeButton), closeResult_(closeResult) {}
    int ShowModal(HWND owner);
    bool PreviewKey(const MSG& message) override;

protected:
    void Close(int result);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int closeButton_;
    int closeResult_;
    int result_ = 0;
    bool done_ = false;
};

// Runs the message loop until `done` is set, with `owner` disabled meanwhile:
// the window is modal.
void RunModal(Window& window, HWND owner, const bool& done);
// Hands one message to the active window's key preview and dialog keys
// (Tab, Enter, Esc), or dispatches it.
void DispatchToWindow(Window& window, MSG& message);

std::wstring ControlText(HWND control);
std::string ControlTextUtf8(HWND control);
void SetControlText(HWND control, const std::string& utf8);

}  // namespace ql::ui
