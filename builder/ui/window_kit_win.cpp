// Creation of windows from their control tables, and the behaviour they share.
#include "builder/ui/window_kit_win.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <versionhelpers.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "platform/text_win.h"

namespace ql::ui {

namespace {

// The kind of an owner-drawn label, kept with the control for its drawing.
constexpr wchar_t kKindProperty[] = L"QuillonKind";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

HFONT MakeFont(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

// The window class and styles of each kind, in the order of ControlKind.
const ControlClass kClasses[] = {
    {L"Button", BS_GROUPBOX | WS_GROUP, 0},
    {L"Static", SS_LEFT | SS_NOPREFIX, 0},
    {L"Static", SS_OWNERDRAW, 0},
    {L"Static", SS_OWNERDRAW | SS_NOTIFY, 0},
    {L"Edit", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {L"Edit", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {L"Button", BS_PUSHBUTTON | WS_TABSTOP, 0},
    {L"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {L"Button", BS_AUTORADIOBUTTON | BS_MULTILINE, 0},  // the first of a group is a tab stop
    {L"Button", BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, 0},
    {PROGRESS_CLASSW, 0, 0},
    {L"Static", SS_ICON, 0},
    {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {L"Static", SS_OWNERDRAW, 0},
};
static_assert(std::size(kClasses) == static_cast<size_t>(ControlKind::Tip) + 1, "a class for every kind");

ControlClass ClassOf(const ControlSpec& c) {
    ControlClass cls = kClasses[static_cast<size_t>(c.kind)];
    if (c.kind == ControlKind::Radio && c.groupStart) cls.style |= WS_TABSTOP;
    return cls;
}

void CreateControl(HWND parent, const WindowSpec& table, const ControlSpec& c) {
    const ControlClass cls = ClassOf(c);
    const Rect r = ClientRect(table, c);
    DWORD style = WS_CHILD | WS_VISIBLE | cls.style | (c.groupStart ? WS_GROUP : 0u);
    HWND control = CreateWindowExW(cls.exStyle, cls.name, platform::Utf8ToWide(c.caption.Utf8()).c_str(),
                                   style, r.x, r.y, r.w, r.h, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), Instance(), nullptr);
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(
                     UiFont(c.kind == ControlKind::ReadOnlyText ? FontStyle::Text : FontStyle::Normal)),
                 FALSE);
    SetPropW(control, kKindProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(c.kind) + 1));
    if (c.kind == ControlKind::ReadOnlyText) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no 32 K cap
    if (c.kind == ControlKind::Link) {
        // A link is as wide as its text, so that only the text answers the mouse.
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, UiFont(FontStyle::Normal));
        const std::wstring text = platform::Utf8ToWide(c.caption.Utf8());
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        if (size.cx > 0)
            SetWindowPos(control, nullptr, 0, 0, std::min<int>(size.cx + 1, r.w), r.h,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (c.kind == ControlKind::ProgressBar) SendMessageW(control, PBM_SETRANGE32, 0, 1000);
    if (c.limit > 0) SendMessageW(control, EM_SETLIMITTEXT, static_cast<WPARAM>(c.limit), 0);
}

ControlKind KindOf(HWND control) {
    const auto stored = reinterpret_cast<INT_PTR>(GetPropW(control, kKindProperty));
    return stored ? static_cast<ControlKind>(stored - 1) : ControlKind::Label;
}

bool IsLink(HWND control) { return control && KindOf(control) == ControlKind::Link; }

// The system's hot-track colour, unless it is too pale to read on the face
// colour, as under some themes; then the usual blue of that colour.
COLORREF TipColour() {
    auto luminance = [](COLORREF c) { return 299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c); };
    const COLORREF colour = GetSysColor(COLOR_HOTLIGHT);
    return std::abs(luminance(colour) - luminance(GetSysColor(COLOR_BTNFACE))) < 100000 ? RGB(0, 102, 204)
                                                                                        : colour;
}

// The owner-drawn labels. A link is blue and underlined; the underline is
// drawn by hand, as not every system draws it for a font that borrows its
// Chinese glyphs from another. A tip has the hot-track colour. A
// right-aligned label shows one line whose beginning is cut when it is too
// long, so that the end of a path, its file name, stays visible.
void DrawLabel(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring text = ControlText(item.hwndItem);
    const ControlKind kind = KindOf(item.hwndItem);
    const bool link = kind == ControlKind::Link;
    const COLORREF colour = !IsWindowEnabled(item.hwndItem) ? GetSysColor(COLOR_GRAYTEXT)
                            : link                          ? RGB(0, 0, 255)
                            : kind == ControlKind::Tip      ? TipColour()
                                                            : GetSysColor(COLOR_BTNTEXT);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, colour);
    HGDIOBJ oldFont = SelectObject(item.hDC, UiFont(FontStyle::Normal));
    RECT rect = item.rcItem;
    const UINT format = DT_SINGLELINE | DT_NOPREFIX | (kind == ControlKind::RightLabel ? DT_RIGHT : DT_LEFT);
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &rect, format);
    if (link) {
        SIZE size;
        TEXTMETRICW metrics;
        GetTextExtentPoint32W(item.hDC, text.c_str(), static_cast<int>(text.size()), &size);
        GetTextMetricsW(item.hDC, &metrics);
        HPEN pen = CreatePen(PS_SOLID, 1, colour);
        HGDIOBJ oldPen = SelectObject(item.hDC, pen);
        const int y = rect.top + metrics.tmAscent + 1;
        MoveToEx(item.hDC, rect.left, y, nullptr);
        LineTo(item.hDC, rect.left + std::min<int>(size.cx, rect.right - rect.left), y);
        SelectObject(item.hDC, oldPen);
        DeleteObject(pen);
    }
    SelectObject(item.hDC, oldFont);
}

void RegisterClassOnce(const std::wstring& name, WNDPROC procedure) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(Instance(), name.c_str(), &existing)) return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = Instance();
    wc.hIcon = LoadIconW(Instance(), L"MAINICON");
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassExW(&wc);
}

// Enter on a push button that has the focus presses that button, as in a
// dialog box. The dialog keys would press the window's default button
// instead, or nothing where it has none (the progress window's cancel).
bool PressFocusedButton(HWND window, const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN) return false;
    HWND focus = GetFocus();
    if (!focus || GetParent(focus) != window || !IsWindowEnabled(focus)) return false;
    const auto code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) return false;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                 reinterpret_cast<LPARAM>(focus));
    return true;
}

}  // namespace

HFONT UiFont(FontStyle style) {
    struct Look {
        int height, weight;
    };
    // In the order of FontStyle.
    static constexpr Look kLooks[] = {
        {-12, FW_NORMAL}, {-12, FW_BOLD}, {-13, FW_NORMAL}, {-19, FW_BOLD}, {-13, FW_BOLD}};
    static HFONT fonts[std::size(kLooks)] = {};
    const auto index = static_cast<size_t>(style);
    if (!fonts[index]) fonts[index] = MakeFont(kLooks[index].height, kLooks[index].weight);
    return fonts[index];
}

Window::~Window() { Destroy(); }

void Window::Destroy() {
    if (window_) {
        HWND window = window_;
        window_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

bool Window::Create(const WindowSpec& table, DWORD style, HWND owner, const std::wstring& caption) {
    const std::wstring className = platform::Utf8ToWide(table.className);
    RegisterClassOnce(className, &Window::Procedure);
    const DWORD exStyle = owner ? WS_EX_DLGMODALFRAME : 0;
    RECT frame{0, 0, table.clientWidth, table.clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT area;
    if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    if (!CreateWindowExW(exStyle, className.c_str(), caption.c_str(), style, x, y, width, height, owner,
                         nullptr, Instance(), this))
        return false;
    for (const ControlSpec& control : table.controls) CreateControl(window_, table, control);
    return true;
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* creating = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        creating->window_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creating));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->Common(message, wParam, lParam);
}

void Window::FocusControl(int id) {
    focus_ = Control(id);
    SetFocus(focus_);
}

LRESULT Window::Common(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            // A plain window would give the focus to itself on activation; the
            // control that had it gets it back, as in a dialog box.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(window_, focus)) focus_ = focus;
            } else if (focus_ && IsWindow(focus_)) {
                SetFocus(focus_);
                return 0;
            }
            break;
        case WM_NEXTDLGCTL: {
            // A multi-line text box takes Tab itself and passes it on this
            // way, which only a dialog box would otherwise answer: without
            // it the focus could not leave the box by the keyboard.
            HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                       : GetNextDlgTabItem(window_, GetFocus(), wParam != 0);
            if (next) SetFocus(next);
            return 0;
        }
        case WM_SETCURSOR:
            if (IsLink(reinterpret_cast<HWND>(wParam)) && IsWindowEnabled(reinterpret_cast<HWND>(wParam))) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
                return TRUE;
            }
            break;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_STATIC) {
                DrawLabel(item);
                return TRUE;
            }
            break;
        }
        case WM_UPDATEUISTATE: {
            // With visual styles, showing or hiding the keyboard cues on the
            // Alt key leaves some controls half drawn: repaint them all.
            const LRESULT result = OnMessage(message, wParam, lParam);
            if (IsWindowsVistaOrGreater() && IsAppThemed())
                RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            return result;
        }
    }
    return OnMessage(message, wParam, lParam);
}

void DispatchToWindow(Window& window, MSG& message) {
    HWND handle = window.Handle();
    const bool mine = handle && (message.hwnd == handle || IsChild(handle, message.hwnd));
    const bool key = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    if (mine && key && window.PreviewKey(message)) return;
    if (mine && PressFocusedButton(handle, message)) return;
    if (mine && IsDialogMessageW(handle, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void RunModal(Window& window, HWND owner, const bool& done) {
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(window.Handle(), SW_SHOW);
    MSG message;
    while (!done) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            // The application is quitting: the main loop must see that too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        DispatchToWindow(window, message);
    }
    // The owner is enabled before the window goes, so that it gets the activation back.
    if (owner) EnableWindow(owner, TRUE);
    ShowWindow(window.Handle(), SW_HIDE);
}

int ModalWindow::ShowModal(HWND owner) {
    if (!Handle()) return closeResult_;
    RunModal(*this, owner, done_);
    return result_;
}

bool ModalWindow::PreviewKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE) return false;
    Close(closeResult_);
    return true;
}

void ModalWindow::Close(int result) {
    result_ = result;
    done_ = true;
}

LRESULT ModalWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == DM_GETDEFID) return MAKELRESULT(closeButton_, DC_HASDEFID);
    const int command = message == WM_COMMAND ? LOWORD(wParam) : 0;
    if (message == WM_CLOSE || command == IDCANCEL || command == closeButton_) {
        Close(closeResult_);
        return 0;
    }
    return Window::OnMessage(message, wParam, lParam);
}

void SetControlText(HWND control, const std::string& utf8) {
    SetWindowTextW(control, platform::Utf8ToWide(utf8).c_str());
}

std::wstring ControlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max(GetWindowTextW(control, text.data(), length + 1), 0)));
    return text;
}

std::string ControlTextUtf8(HWND control) { return platform::WideToUtf8(ControlText(control)); }

}  // namespace ql::ui
