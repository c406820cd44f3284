// FinishRun, the one exit of the stub, with the clean-up of a run and the
// start of the self-delete helper.
#include <windows.h>
// The shell headers build on windows.h.
#include <shellapi.h>

#include "stub/stub_text.h"
#include "stub/stub_win.h"

namespace ql::stub {

namespace {

constexpr DWORD kSystemTextCapacity = 256;

// Room for a subject as long as a target path, the system text and line breaks.
char g_message[kTargetPathCapacity + kSystemTextCapacity + 8];
// The folder tree walk works on one path; ANSI folder functions stop at MAX_PATH
// long before it fills.
char g_treePath[kTargetPathCapacity + 4];

uint8_t ChosenDeleteMode() { return g_run.config[config::kDeleteMode]; }

void DeleteOrSchedule(const char* path, bool folder) {
    if (ChosenDeleteMode() == kDeleteAfterRun) {
        if (folder)
            RemoveDirectoryA(path);
        else
            DeleteFileA(path);
    } else if (ChosenDeleteMode() == kDeleteAtRestart) {
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// Removes the subfolders under g_treePath (which ends in a backslash at
// `length`) depth-first, then the folder itself; files are left alone, so a
// folder that still holds any stays.
void RemoveTreeAt(size_t length) {
    if (length + 4 <= sizeof g_treePath) {
        CopyText(g_treePath + length, 4, "*.*");
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(g_treePath, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const DWORD a = found.dwFileAttributes;
                const char* name = found.cFileName;
                const bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
                if (!(a & FILE_ATTRIBUTE_DIRECTORY) || dots ||
                    (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kAttrVolumeLabel)))
                    continue;
                const size_t nameLength = TextLength(name);
                if (length + nameLength + 2 > sizeof g_treePath) continue;
                CopyText(g_treePath + length, nameLength + 1, name);
                g_treePath[length + nameLength] = '\\';
                g_treePath[length + nameLength + 1] = '\0';
                RemoveTreeAt(length + nameLength + 1);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    g_treePath[length - 1] = '\0';
    SetFileAttributesA(g_treePath, 0);
    DeleteOrSchedule(g_treePath, true);
}

void RemoveFolderTree(const char* folder) {
    if (IsBlank(folder)) return;
    CopyText(g_treePath, sizeof g_treePath - 1, folder);
    AddTrailingBackslash(g_treePath, sizeof g_treePath);
    RemoveTreeAt(TextLength(g_treePath));
}

// Run mode only: the extracted files, then the folders the stub created,
// newest first, so that inner folders go before the folders holding them.
void CleanUp() {
    if (g_run.config[config::kExtractionMode] != kExtractAndRun || ChosenDeleteMode() == kDeleteNever) return;
    const PathList& files = g_run.extractedFiles;
    for (const char* path = files.First(); path; path = files.Next(path)) {
        SetFileAttributesA(path, 0);
        DeleteOrSchedule(path, false);
    }
    const PathList& folders = g_run.createdFolders;
    for (const char* path = folders.Last(); path; path = folders.Previous(path)) RemoveFolderTree(path);
}

// The helper deletes the SFX file once this process has gone; the system
// deletes the helper at the next restart.
void StartSelfDelete() {
    // The path in double quotes, put together in place: a table of the
    // three parts would be a constant the compiler keeps in a section of its own.
    char parameters[kFolderCapacity + 2];
    parameters[0] = '"';
    CopyText(parameters + 1, kFolderCapacity, g_run.ownPath);
    const size_t end = TextLength(parameters);
    parameters[end] = '"';
    parameters[end + 1] = '\0';
    ShellExecuteA(nullptr, "open", g_run.helperPath, parameters, nullptr, SW_HIDE);
    MoveFileExA(g_run.helperPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

void SystemText(DWORD code, char* out, size_t capacity) {
    char text[kSystemTextCapacity];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, text, kSystemTextCapacity, nullptr);
    CopyText(out, capacity, text, TrimMessageEnd(text, length));
}

void FinishRun(const char* subject, DWORD code) {
    // A file still open for writing could be neither deleted nor replaced.
    if (g_run.outputFile) {
        CloseHandle(g_run.outputFile);
        g_run.outputFile = nullptr;
    }
    if (code != 0 && !Silent()) {
        char text[kSystemTextCapacity];
        SystemText(code, text, sizeof text);
        ComposeFailureMessage(subject, text, g_message, sizeof g_message);
        MessageBoxA(nullptr, g_message, nullptr, MB_ICONHAND | MB_TOPMOST);
        DestroyProgressWindow();
    }
    CleanUp();
    if (code == 0 && g_run.helperPath[0]) StartSelfDelete();
    if (g_run.mutex) CloseHandle(g_run.mutex);
    ExitProcess(code == 0 ? g_run.processExitCode : code);
}

}  // namespace ql::stub
