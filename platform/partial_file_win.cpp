// Windows: the claim is a handle without access rights that shares reading and
// writing but not deletion, so another build's deletion fails while the build's
// own writes go on; the interrupt is a console control handler. The build's
// own handles share deletion, so that the handler can delete the file.
#include "platform/partial_file.h"

#include <windows.h>

#include <iterator>

#include "platform/wide_path_win.h"

namespace ql::platform {

namespace {

HANDLE g_claim = INVALID_HANDLE_VALUE;
wchar_t g_path[32768];  // the longest path Windows knows
volatile LONG g_claimed = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (g_claimed) {
        if (g_claim != INVALID_HANDLE_VALUE) CloseHandle(g_claim);
        DeleteFileW(g_path);
    }
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

}  // namespace

void ClaimPartialFile(const std::string& path) {
    ReleasePartialFile();
    const std::wstring wide = WidePath(path);
    if (wide.size() >= std::size(g_path)) return;
    lstrcpynW(g_path, wide.c_str(), static_cast<int>(std::size(g_path)));
    static bool installed = false;
    if (!installed) installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    g_claim = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    g_claimed = 1;
}

void ReleasePartialFile() {
    g_claimed = 0;
    if (g_claim != INVALID_HANDLE_VALUE) CloseHandle(g_claim);
    g_claim = INVALID_HANDLE_VALUE;
}

bool RemoveLeftover(const std::string& path) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only leftover goes too
    return DeleteFileW(wide.c_str()) != 0;
}

}  // namespace ql::platform
