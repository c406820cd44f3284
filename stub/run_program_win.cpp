// After extraction: open the folder, or run the program, wait for it and take
// over its exit code.
#include <windows.h>
// The shell headers build on windows.h.
#include <shellapi.h>

#include "shared/ansi_text.h"
#include "stub/stub_text.h"
#include "stub/stub_win.h"

namespace ql::stub {

namespace {

// The configured parameters and every parameter of the stub's own command line,
// each of them re-quoted; the worst case doubles a command line of 32767 bytes.
constexpr size_t kParametersCapacity = config::kCmdParametersSize + 2 * 32768 + 8;
char g_parameters[kParametersCapacity];
wchar_t g_wideParameters[kParametersCapacity];
// A folder for the shell; static, as a frame beyond a page would call in the
// stack probe.
wchar_t g_folder[kFolderCapacity];

[[noreturn]] void RunProgram() {
    if (!g_run.programPath[0]) FinishRun(g_run.ownPath, ERROR_INVALID_PARAMETER);
    char configured[config::kCmdParametersSize + 1];
    CopyText(configured, sizeof configured,
             reinterpret_cast<const char*>(g_run.config + config::kCmdParameters),
             config::kCmdParametersSize);
    if (!BuildParameterString(configured, GetCommandLineA(), g_parameters, sizeof g_parameters))
        FinishRun(g_run.ownPath, ERROR_INVALID_PARAMETER);
    Widen(g_parameters, g_wideParameters, kParametersCapacity);
    // The system starts no program from a path beyond MAX_PATH, which only
    // the \\?\ form reaches: such a program goes by its short name, where
    // the volume keeps short names.
    if (g_run.programPath[2] == '?')
        GetShortPathNameW(g_run.programPath, g_run.programPath, kWidePathCapacity);

    char ownFolder[kFolderCapacity];
    CopyText(ownFolder, sizeof ownFolder, g_run.ownPath,
             FolderPartLength(g_run.ownPath, TextLength(g_run.ownPath), "\\:", IsLeadByteOfCodePage));
    Widen(g_run.config[config::kWorkingDirectory] == kWorkInSfxFolder ? ownFolder : g_run.folder, g_folder,
          kFolderCapacity);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = g_run.programPath;
    info.lpParameters = g_wideParameters;
    // Working in the current folder: the program inherits the stub's current folder.
    info.lpDirectory = g_run.config[config::kWorkingDirectory] == kWorkInCurrentFolder ? nullptr : g_folder;
    info.nShow = SW_SHOWNORMAL;

    g_run.processExitCode = 0;
    if (!ShellExecuteExW(&info)) FinishRun(g_run.programPath, LastErrorOr(ERROR_FILE_NOT_FOUND));
    // Without a process handle the shell gave the file to a program that was
    // already running: there is nothing to wait for.
    if (info.hProcess) {
        if (WaitForSingleObject(info.hProcess, INFINITE) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &g_run.processExitCode);
        CloseHandle(info.hProcess);
    }
    FinishRun("", 0);
}

}  // namespace

void RunPhase() {
    switch (g_run.config[config::kExtractionMode]) {
        case kExtractOnly:
            if (g_run.config[config::kOpenFolder]) {
                Widen(g_run.folder, g_folder, kFolderCapacity);
                ShellExecuteW(nullptr, L"explore", g_folder, nullptr, nullptr, SW_SHOWNORMAL);
            }
            break;
        case kExtractAndRun: RunProgram();
        default: break;
    }
    FinishRun("", 0);
}

}  // namespace ql::stub
