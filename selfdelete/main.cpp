// The self-delete helper: deletes the one file named on its command line as
// soon as that file is free, retrying for about 20 seconds. It has no window
// and no output, and always ends with exit code 0. Runs without the C runtime.
#include <windows.h>

#include "stub/command_line.h"

namespace {

constexpr int kAttempts = 1000;
constexpr DWORD kPauseMilliseconds = 20;

char g_target[32768];

void DeleteWhenFree() {
    const char* rest = ql::ScanParameter(GetCommandLineA(), [](char) {});  // the program name
    if (!rest) return;
    size_t length = 0;
    bool tooLong = false;
    ql::ScanParameter(rest, [&](char c) {
        if (length + 1 < sizeof g_target)
            g_target[length++] = c;
        else
            tooLong = true;
    });
    // A cut path could name another file: touch nothing then.
    if (length == 0 || tooLong) return;
    g_target[length] = '\0';

    const DWORD attributes = GetFileAttributesA(g_target);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    // The file is still the image of the ending SFX process for a moment;
    // deleting fails until that process is gone.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        SetFileAttributesA(g_target, 0);
        if (DeleteFileA(g_target)) return;
        Sleep(kPauseMilliseconds);
    }
}

}  // namespace

extern "C" __attribute__((force_align_arg_pointer)) void HelperEntry() {
    DeleteWhenFree();
    ExitProcess(0);
}
