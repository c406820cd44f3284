// qldriver: a console tool that starts a Windows program and finds, reads and
// operates its top-level windows from outside its process, so that end-to-end
// tests can follow message boxes and windows under Wine. Texts are read and
// printed through the wide API as UTF-8, so Chinese texts survive any ANSI
// code page.
//
//   qldriver run [--raw LINE | -- PROGRAM ARGS...]
//   qldriver list  [--pid P]
//   qldriver wait  --title T [--pid P] [--timeout ms] [--gone]
//   qldriver text  --title T [--pid P] [--timeout ms]
//   qldriver controls --title T [--pid P] [--timeout ms]
//   qldriver press --title T (--button TEXT | --id N) [--pid P] [--timeout ms]
//   qldriver set-text --title T --id N --text S [--pid P] [--timeout ms]
//   qldriver click --title T --x X --y Y [--pid P] [--timeout ms]
//   qldriver check --title T --id N [--pid P] [--timeout ms]
//   qldriver key   --title T --vk N [--alt] [--pid P] [--timeout ms]
//   qldriver style --title T [--id N] [--pid P] [--timeout ms]
//   qldriver send  --title T --id N --message M [--wparam W] [--lparam L] [--pid P] [--timeout ms]
//   qldriver items --title T --id N [--pid P] [--timeout ms]
//   qldriver clipboard
//   qldriver close --title T [--pid P] [--timeout ms]
//   qldriver kill  --pid P
//
// Window commands also take --class C: only a window of that class counts
// (a progress window may share its owner's title). `check` clicks a radio
// button or check box as the mouse would (BM_CLICK), so that it selects
// itself and tells its parent; `key` sends a key press to the control that
// has the keyboard focus in the window's thread, or to the window; with
// --alt as pressed with the Alt key held (Alt+F4). `style` prints the style
// and extended style of the window, or of its control, in hex. `send` sends
// a message whose parameters are plain numbers (EM_GETSEL) to a control and
// prints the result. `items`
// prints the rows of a list view control, its columns separated by tabs;
// `clipboard` prints the clipboard's text.
// `run` prints "pid N" (the program's Windows process id) as its first line,
// waits for the program and exits with its exit code; the program ends with the
// driver. --pid limits the search to the windows of that process, so tests
// that run side by side in one Wine prefix cannot take each other's boxes.
// `controls` prints one line per child window: control id, class, state
// (e enabled, v visible, c checked, f keyboard focus, or -), position and size
// in the parent's client area as x,y,w,h, and the text.
//
// Exit codes (other than `run`): 0 done; 1 the window did not appear (or, with
// --gone, did not go) in time; 2 usage error; 3 the window is there but the
// action failed; 4 the process given by --pid has ended.
#include <windows.h>
// The list view messages build on windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;
constexpr int kFailed = 3;
constexpr int kProcessEnded = 4;
constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kPollMs = 50;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// Bytes straight to the handle: the C runtime would translate them through the
// console code page.
void Write(DWORD which, const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void Out(const std::wstring& line) { Write(STD_OUTPUT_HANDLE, Utf8(line) + "\n"); }

int Fail(int code, const std::wstring& message) {
    Write(STD_ERROR_HANDLE, "qldriver: " + Utf8(message) + "\n");
    return code;
}

// One window per output line: control characters and backslashes are escaped,
// so a message box's multi-line text stays on one line.
std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'\\': out += L"\\\\"; break;
            case L'\r': out += L"\\r"; break;
            case L'\n': out += L"\\n"; break;
            case L'\t': out += L"\\t"; break;
            default: out += c;
        }
    }
    return out;
}

// GetWindowTextW reads a top-level window's title without sending it a
// message, so a hung program cannot block the driver. A control keeps its
// text itself (an edit control's typed text is not its window text), so a
// control is asked with WM_GETTEXT, which Wine carries across processes; a
// control that does not answer in time falls back to the stored text.
std::wstring TextOf(HWND window) {
    std::wstring text(32768, L'\0');
    DWORD_PTR got = 0;
    bool control = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
    if (!control || !SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                                         reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000, &got))
        got = static_cast<DWORD_PTR>(
            std::max(GetWindowTextW(window, text.data(), static_cast<int>(text.size())), 0));
    text.resize(std::min<size_t>(got, text.size()));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::wstring Handle(HWND window) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return buffer;
}

template <typename Enumerate>
std::vector<HWND> Collect(Enumerate enumerate) {
    std::vector<HWND> windows;
    enumerate(
        [](HWND window, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> TopLevelWindows() {
    return Collect([](WNDENUMPROC proc, LPARAM list) { EnumWindows(proc, list); });
}

std::vector<HWND> ChildWindows(HWND parent) {
    return Collect([parent](WNDENUMPROC proc, LPARAM list) { EnumChildWindows(parent, proc, list); });
}

struct Arguments {
    std::wstring command, title, button, raw, text, className;
    bool hasId = false, hasText = false;
    int id = 0;
    std::vector<std::wstring> program;  // after "--" of `run`
    DWORD pid = 0;                      // 0: any process
    DWORD timeoutMs = kDefaultTimeoutMs;
    bool gone = false, alt = false;
    bool hasX = false, hasY = false, hasVk = false;
    int x = 0, y = 0, vk = 0;
    bool hasMessage = false;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

bool ProcessEnded(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// A visible top-level window with exactly this title; a hidden one is not yet
// (or no longer) something a user could act on.
HWND FindVisible(const Arguments& args) {
    for (HWND window : TopLevelWindows())
        if (IsWindowVisible(window) && (args.pid == 0 || ProcessOf(window) == args.pid) &&
            (args.className.empty() || ClassOf(window) == args.className) && TextOf(window) == args.title)
            return window;
    return nullptr;
}

// Polls until the window is there; gives up early when its process has ended.
int WaitFor(const Arguments& args, HWND& window) {
    DWORD start = GetTickCount();
    for (;;) {
        if ((window = FindVisible(args))) return kOk;
        if (args.pid != 0 && ProcessEnded(args.pid))
            return Fail(kProcessEnded, L"process " + std::to_wstring(args.pid) +
                                           L" ended without a window titled \"" + args.title + L"\"");
        if (GetTickCount() - start >= args.timeoutMs)
            return Fail(kNotFound, L"no window titled \"" + args.title + L"\" appeared");
        Sleep(kPollMs);
    }
}

std::wstring WithoutAmpersands(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        // "&&" stands for a literal ampersand.
        if (text[i] == L'&' && i + 1 < text.size() && text[i + 1] == L'&') {
            out += L'&';
            ++i;
        } else if (text[i] != L'&') {
            out += text[i];
        }
    }
    return out;
}

bool ParseNumber(const wchar_t* text, long& value) {
    wchar_t* end = nullptr;
    value = wcstol(text, &end, 10);
    return end != text && *end == L'\0';
}

bool Parse(int argc, wchar_t** argv, Arguments& args, std::wstring& error) {
    if (argc < 2) {
        error =
            L"usage: qldriver run | list | wait | text | controls | press | set-text | click | check | key | "
            L"items | style | send | clipboard | close | kill "
            L"...";
        return false;
    }
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::wstring name = argv[i];
        if (name == L"--") {
            args.program.assign(argv + i + 1, argv + argc);
            break;
        }
        if (name == L"--gone" || name == L"--alt") {
            (name == L"--gone" ? args.gone : args.alt) = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = L"missing value after " + name;
            return false;
        }
        const wchar_t* value = argv[++i];
        long number = 0;
        if (name == L"--title") {
            args.title = value;
        } else if (name == L"--button") {
            args.button = value;
        } else if (name == L"--raw") {
            args.raw = value;
        } else if (name == L"--class") {
            args.className = value;
        } else if (name == L"--text") {
            args.text = value;
            args.hasText = true;
        } else if (name == L"--timeout" || name == L"--x" || name == L"--y" || name == L"--pid" ||
                   name == L"--id" || name == L"--vk" || name == L"--message" || name == L"--wparam" ||
                   name == L"--lparam") {
            if (!ParseNumber(value, number) || number < 0) {
                error = L"not a number: " + name + L" " + value;
                return false;
            }
            if (name == L"--timeout") args.timeoutMs = static_cast<DWORD>(number);
            if (name == L"--pid") args.pid = static_cast<DWORD>(number);
            if (name == L"--id") args.id = static_cast<int>(number), args.hasId = true;
            if (name == L"--x") args.x = static_cast<int>(number), args.hasX = true;
            if (name == L"--y") args.y = static_cast<int>(number), args.hasY = true;
            if (name == L"--vk") args.vk = static_cast<int>(number), args.hasVk = true;
            if (name == L"--message") args.message = static_cast<UINT>(number), args.hasMessage = true;
            if (name == L"--wparam") args.wParam = static_cast<WPARAM>(number);
            if (name == L"--lparam") args.lParam = static_cast<LPARAM>(number);
        } else {
            error = L"unknown option " + name;
            return false;
        }
    }
    return true;
}

// The usual quoting of one argument, the inverse of the C runtime's parsing:
// backslashes double only in front of a double quote.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

int Run(const Arguments& args) {
    std::wstring commandLine = args.raw;
    if (commandLine.empty()) {
        if (args.program.empty()) return Fail(kUsage, L"run needs --raw LINE or -- PROGRAM ARGS...");
        for (const auto& argument : args.program)
            commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(argument);
    }
    // The program lives in a job that dies with the driver, so a test that
    // kills the driver does not leave the program (and its boxes) behind.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process))
        return Fail(kFailed,
                    L"cannot start " + commandLine + L" (error " + std::to_wstring(GetLastError()) + L")");
    if (job) AssignProcessToJobObject(job, process.hProcess);
    Out(L"pid " + std::to_wstring(process.dwProcessId));
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

int List(const Arguments& args) {
    for (HWND window : TopLevelWindows()) {
        DWORD pid = ProcessOf(window);
        if (IsWindowVisible(window) && (args.pid == 0 || pid == args.pid))
            Out(Handle(window) + L"\t" + std::to_wstring(pid) + L"\t" + ClassOf(window) + L"\t" +
                Escaped(TextOf(window)));
    }
    return kOk;
}

int WaitGone(const Arguments& args) {
    DWORD start = GetTickCount();
    while (FindVisible(args)) {
        if (GetTickCount() - start >= args.timeoutMs)
            return Fail(kNotFound, L"the window titled \"" + args.title + L"\" is still there");
        Sleep(kPollMs);
    }
    return kOk;
}

int Text(HWND window) {
    Out(Escaped(TextOf(window)));
    for (HWND child : ChildWindows(window)) {
        std::wstring text = TextOf(child);
        if (!text.empty()) Out(Escaped(text));
    }
    return kOk;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

int Controls(HWND window) {
    HWND focus = FocusOf(window);
    for (HWND child : ChildWindows(window)) {
        std::wstring state;
        if (IsWindowEnabled(child)) state += L'e';
        if (child == focus) state += L'f';
        if (IsWindowVisible(child)) state += L'v';
        if (ClassOf(child) == L"Button") {
            DWORD_PTR checked = 0;
            if (SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &checked) &&
                checked == BST_CHECKED)
                state += L'c';
        }
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
        Out(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + ClassOf(child) + L"\t" +
            (state.empty() ? L"-" : state) + L"\t" + std::to_wstring(rect.left) + L"," +
            std::to_wstring(rect.top) + L"," + std::to_wstring(rect.right - rect.left) + L"," +
            std::to_wstring(rect.bottom - rect.top) + L"\t" + Escaped(TextOf(child)));
    }
    return kOk;
}

HWND ControlById(HWND window, int id) {
    for (HWND child : ChildWindows(window))
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

int Press(HWND window, const Arguments& args) {
    HWND button = nullptr;
    std::wstring what =
        args.hasId ? L"control " + std::to_wstring(args.id) : L"button \"" + args.button + L"\"";
    if (args.hasId) {
        button = ControlById(window, args.id);
    } else {
        for (HWND child : ChildWindows(window))
            if (ClassOf(child) == L"Button" &&
                WithoutAmpersands(TextOf(child)) == WithoutAmpersands(args.button)) {
                button = child;
                break;
            }
    }
    if (!button) return Fail(kFailed, L"no " + what + L" in the window \"" + TextOf(window) + L"\"");
    if (!IsWindowEnabled(button) || !IsWindowVisible(button))
        return Fail(kFailed, L"the " + what + L" is disabled or hidden");
    // What a click delivers to the dialog in the end; posting it does not
    // depend on which window has the focus or where the mouse is.
    if (!PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)))
        return Fail(kFailed, L"could not post the click to the " + what);
    return kOk;
}

// WM_SETTEXT, as typing would leave it; an edit control then tells its parent
// through EN_CHANGE.
int SetText(HWND window, int id, const std::wstring& text) {
    HWND control = ControlById(window, id);
    if (!control)
        return Fail(kFailed, L"no control " + std::to_wstring(id) + L" in \"" + TextOf(window) + L"\"");
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             5000, &result) ||
        !result)
        return Fail(kFailed, L"control " + std::to_wstring(id) + L" did not take the text");
    return kOk;
}

// A real mouse click at client coordinates, through the input queue.
int Click(HWND window, int x, int y) {
    POINT point{x, y};
    if (!ClientToScreen(window, &point)) return Fail(kFailed, L"cannot map the point to the screen");
    SetForegroundWindow(window);
    SetCursorPos(point.x, point.y);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (SendInput(2, inputs, sizeof(INPUT)) != 2) return Fail(kFailed, L"SendInput failed");
    return kOk;
}

int Check(HWND window, int id) {
    HWND control = ControlById(window, id);
    if (!control)
        return Fail(kFailed, L"no control " + std::to_wstring(id) + L" in \"" + TextOf(window) + L"\"");
    if (!IsWindowEnabled(control)) return Fail(kFailed, L"control " + std::to_wstring(id) + L" is disabled");
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result))
        return Fail(kFailed, L"control " + std::to_wstring(id) + L" did not take the click");
    return kOk;
}

// Posted like typing: the program's message loop sees the key before any
// window does, as a key preview needs. With Alt held a key comes as a system
// key, with the Alt bit (29) of its key data set.
int Key(HWND window, int vk, bool alt) {
    HWND target = FocusOf(window);
    if (!target) target = window;
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, up = alt ? WM_SYSKEYUP : WM_KEYUP;
    const LPARAM altBit = alt ? 0x20000000 : 0;
    if (!PostMessageW(target, down, static_cast<WPARAM>(vk), 1 | altBit) ||
        !PostMessageW(target, up, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001 | altBit)))
        return Fail(kFailed, L"could not post the key");
    return kOk;
}

int Style(HWND window, const Arguments& args) {
    HWND target = args.hasId ? ControlById(window, args.id) : window;
    if (!target) return Fail(kFailed, L"no control " + std::to_wstring(args.id));
    wchar_t text[64];
    swprintf(text, 64, L"0x%08lx 0x%08lx", static_cast<unsigned long>(GetWindowLongW(target, GWL_STYLE)),
             static_cast<unsigned long>(GetWindowLongW(target, GWL_EXSTYLE)));
    Out(text);
    return kOk;
}

int Send(HWND window, const Arguments& args) {
    HWND control = ControlById(window, args.id);
    if (!control) return Fail(kFailed, L"no control " + std::to_wstring(args.id));
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, args.message, args.wParam, args.lParam, SMTO_ABORTIFHUNG, 5000,
                             &result))
        return Fail(kFailed, L"control " + std::to_wstring(args.id) + L" did not answer");
    Out(std::to_wstring(result));
    return kOk;
}

// A list view answers with texts in the memory of its own process, so the
// item and the text buffer are placed there.
int Items(HWND window, int id) {
    HWND list = ControlById(window, id);
    if (!list) return Fail(kFailed, L"no control " + std::to_wstring(id));
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return Fail(kFailed, L"cannot open the list's process");
    constexpr size_t kTextChars = 4096;
    auto* remote = static_cast<BYTE*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kTextChars * 2, MEM_COMMIT, PAGE_READWRITE));
    int status = remote ? kOk : Fail(kFailed, L"cannot place the item in the list's process");
    for (int row = 0; row < rows && status == kOk; ++row) {
        std::wstring line;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item = {};
            item.iSubItem = column;
            item.cchTextMax = kTextChars;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            wchar_t text[kTextChars] = {};
            SIZE_T done = 0;
            WriteProcessMemory(process, remote, &item, sizeof item, &done);
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - 2, &done);
            line += (column ? L"\t" : L"") + Escaped(text);
        }
        Out(line);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return status;
}

int Clipboard() {
    if (!OpenClipboard(nullptr)) return Fail(kFailed, L"cannot open the clipboard");
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (text) Out(Escaped(text));
    if (data) GlobalUnlock(data);
    CloseClipboard();
    return text ? kOk : Fail(kFailed, L"the clipboard holds no text");
}

int Close(HWND window) {
    if (!PostMessageW(window, WM_CLOSE, 0, 0)) return Fail(kFailed, L"could not post WM_CLOSE");
    return kOk;
}

int Kill(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return Fail(kProcessEnded, L"no process " + std::to_wstring(pid));
    BOOL killed = TerminateProcess(process, 1);
    if (killed) WaitForSingleObject(process, 5000);
    CloseHandle(process);
    return killed ? kOk : Fail(kFailed, L"TerminateProcess failed");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Arguments args;
    std::wstring error;
    if (!Parse(argc, argv, args, error)) return Fail(kUsage, error);
    const std::wstring& command = args.command;
    if (command == L"run") return Run(args);
    if (command == L"list") return List(args);
    if (command == L"kill") return args.pid ? Kill(args.pid) : Fail(kUsage, L"kill needs --pid");
    if (command == L"clipboard") return Clipboard();

    bool windowCommand = command == L"wait" || command == L"text" || command == L"press" ||
                         command == L"click" || command == L"close" || command == L"controls" ||
                         command == L"set-text" || command == L"check" || command == L"key" ||
                         command == L"items" || command == L"style" || command == L"send";
    if (!windowCommand) return Fail(kUsage, L"unknown command " + command);
    if (args.title.empty()) return Fail(kUsage, command + L" needs --title");
    if (command == L"press" && args.button.empty() && !args.hasId)
        return Fail(kUsage, L"press needs --button or --id");
    if (command == L"set-text" && !(args.hasId && args.hasText))
        return Fail(kUsage, L"set-text needs --id and --text");
    if (command == L"click" && !(args.hasX && args.hasY)) return Fail(kUsage, L"click needs --x and --y");
    if ((command == L"check" || command == L"items") && !args.hasId)
        return Fail(kUsage, command + L" needs --id");
    if (command == L"send" && !(args.hasId && args.hasMessage))
        return Fail(kUsage, L"send needs --id and --message");
    if (command == L"key" && !args.hasVk) return Fail(kUsage, L"key needs --vk");
    if (command == L"wait" && args.gone) return WaitGone(args);

    HWND window = nullptr;
    if (int status = WaitFor(args, window); status != kOk) return status;
    if (command == L"wait") {
        Out(Handle(window));
        return kOk;
    }
    if (command == L"text") return Text(window);
    if (command == L"controls") return Controls(window);
    if (command == L"press") return Press(window, args);
    if (command == L"set-text") return SetText(window, args.id, args.text);
    if (command == L"click") return Click(window, args.x, args.y);
    if (command == L"check") return Check(window, args.id);
    if (command == L"key") return Key(window, args.vk, args.alt);
    if (command == L"style") return Style(window, args);
    if (command == L"send") return Send(window, args);
    if (command == L"items") return Items(window, args.id);
    return Close(window);
}
