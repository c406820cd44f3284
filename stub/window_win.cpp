// The progress window: borderless, drawn by hand, not closable by the user.
#include "stub/stub_win.h"
#include "stub/translations.h"

namespace ql::stub {

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 96;
constexpr RECT kWindowFrame = {0, 0, kWidth, kHeight};
constexpr RECT kBarFrame = {14, 58, 306, 82};
constexpr RECT kBar = {16, 60, 304, 80};
constexpr int kBarWidth = kBar.right - kBar.left;
constexpr int kTextLeft = 16;
constexpr int kFirstLineTop = 12;
constexpr int kSecondLineTop = 32;
constexpr int kCaptionRight = 312;
constexpr int kCaptionTop = 4;
constexpr int kPercentTop = 62;
const char kClassName[] = "quillonwindowclass";

HFONT MakeFont(int height) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
}

void SetColours(HDC dc, int background, int text) {
    SetBkColor(dc, GetSysColor(background));
    SetTextColor(dc, GetSysColor(text));
}

void Paint() {
    if (!g_run.window) return;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(g_run.window, &ps);

    char text[128];
    SIZE extent;
    SelectObject(dc, g_run.smallFont);
    SetColours(dc, COLOR_BTNFACE, COLOR_GRAYTEXT);
    int length = LoadStringA(GetModuleHandleA(nullptr), kCaptionStringId, text, sizeof text);
    GetTextExtentPoint32A(dc, text, length, &extent);
    TextOutA(dc, kCaptionRight - extent.cx, kCaptionTop, text, length);

    SelectObject(dc, g_run.textFont);
    SetColours(dc, COLOR_BTNFACE, COLOR_WINDOWTEXT);
    const char* first = StubText(g_run.languageRow, TextKind::Initialization);
    TextOutA(dc, kTextLeft, kFirstLineTop, first, static_cast<int>(TextLength(first)));
    CopyText(text, sizeof text - 3, StubText(g_run.languageRow, TextKind::PleaseWait));
    length = static_cast<int>(TextLength(text));
    CopyText(text + length, 4, "...");
    TextOutA(dc, kTextLeft, kSecondLineTop, text, length + 3);

    float fraction =
        g_run.totalSize > 0 ? static_cast<float>(g_run.doneSize) / static_cast<float>(g_run.totalSize) : 0.0f;
    if (fraction < 0.0f) fraction = 0.0f;
    if (fraction > 1.0f) fraction = 1.0f;
    // The percentage is rounded, the filled width cut: 99.6 % reads "100 %"
    // over a bar that is not yet full.
    int percent = static_cast<int>(fraction * 100.0f + 0.5f);
    length = 0;
    if (percent >= 100) text[length++] = static_cast<char>('0' + percent / 100);
    if (percent >= 10) text[length++] = static_cast<char>('0' + percent / 10 % 10);
    text[length++] = static_cast<char>('0' + percent % 10);
    text[length++] = ' ';
    text[length++] = '%';
    const int edge = kBar.left + static_cast<int>(fraction * kBarWidth);

    // Without BF_ADJUST DrawEdge only reads the rectangle; a copy of the
    // constant would be a constant the compiler keeps in a section of its own.
    DrawEdge(dc, const_cast<RECT*>(&kWindowFrame), EDGE_RAISED, BF_RECT);
    DrawEdge(dc, const_cast<RECT*>(&kBarFrame), EDGE_SUNKEN, BF_RECT);

    // The same centred text twice, clipped to the filled and the empty part in
    // swapped colours, so the digits over the bar show inverted.
    GetTextExtentPoint32A(dc, text, length, &extent);
    const int x = kBar.left + (kBarWidth - extent.cx) / 2;
    RECT part = {kBar.left, kBar.top, edge, kBar.bottom};
    SetColours(dc, COLOR_ACTIVECAPTION, COLOR_WINDOW);
    ExtTextOutA(dc, x, kPercentTop, ETO_OPAQUE | ETO_CLIPPED, &part, text, length, nullptr);
    part = {edge, kBar.top, kBar.right, kBar.bottom};
    SetColours(dc, COLOR_WINDOW, COLOR_ACTIVECAPTION);
    ExtTextOutA(dc, x, kPercentTop, ETO_OPAQUE | ETO_CLIPPED, &part, text, length, nullptr);

    EndPaint(g_run.window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: Paint(); return 0;
        case WM_CLOSE:  // the run goes on; only the stub closes its window
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void CreateProgressWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    g_run.window = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, nullptr, WS_POPUP | WS_VISIBLE, left, top,
                                   kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    g_run.textFont = MakeFont(16);
    g_run.smallFont = MakeFont(10);
}

void DestroyProgressWindow() {
    if (g_run.window) DestroyWindow(g_run.window);
    if (g_run.textFont) DeleteObject(g_run.textFont);
    if (g_run.smallFont) DeleteObject(g_run.smallFont);
    g_run.window = nullptr;
    g_run.textFont = nullptr;
    g_run.smallFont = nullptr;
}

void UpdateProgress() {
    if (!g_run.window) return;
    InvalidateRect(g_run.window, &kBar, FALSE);
    Paint();
}

void ProcessMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

}  // namespace ql::stub
