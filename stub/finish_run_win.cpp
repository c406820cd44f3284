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
wchar_t g_message[kWidePathCapacity + kSystemTextCapacity + 8];
// The folder tree walk works on one path, in the \\?\ form: a folder the
// stub made may hold deeper ones that it did not.
wchar_t g_treeBuffer[kWidePathCapacity + 4];
wchar_t* g_treePath;
constexpr size_t kTreeCapacity = kWidePathCapacity - kLongFormRoom + 4;  // from g_treePath on, at the least
wchar_t g_subject[kFolderCapacity + 64];

uint8_t ChosenDeleteMode() { return g_run.config[config::kDeleteMode]; }

void DeleteOrSchedule(const wchar_t* path, bool folder) {
    if (ChosenDeleteMode() == kDeleteAfterRun) {
        if (folder)
            RemoveDirectoryW(path);
        else
            DeleteFileW(path);
    } else if (ChosenDeleteMode() == kDeleteAtRestart) {
        MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// Removes the subfolders under g_treePath (which ends in a backslash at
// `length`) depth-first, then the folder itself; files are left alone, so a
// folder that still holds any stays.
void RemoveTreeAt(size_t length) {
    if (length + 4 <= kTreeCapacity) {
        CopyText(g_treePath + length, 4, L"*.*");
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(g_treePath, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const DWORD a = found.dwFileAttributes;
                const wchar_t* name = found.cFileName;
                const bool dots = name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
                if (!(a & FILE_ATTRIBUTE_DIRECTORY) || dots ||
                    (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kAttrVolumeLabel)))
                    continue;
                const size_t nameLength = TextLength(name);
                if (length + nameLength + 2 > kTreeCapacity) continue;
                CopyText(g_treePath + length, nameLength + 1, name);
                g_treePath[length + nameLength] = '\\';
                g_treePath[length + nameLength + 1] = 0;
                RemoveTreeAt(length + nameLength + 1);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    g_treePath[length - 1] = 0;
    SetFileAttributesW(g_treePath, 0);
    DeleteOrSchedule(g_treePath, true);
}

// `folder` is one MakeFolder recorded: never empty, never ending in a backslash.
void RemoveFolderTree(const wchar_t* folder) {
    wchar_t* path = g_treeBuffer + kLongFormRoom;
    CopyText(path, kWidePathCapacity - kLongFormRoom, folder);
    const size_t length = TextLength(path);
    path[length] = '\\';
    path[length + 1] = 0;
    g_treePath = LongPathForm(path, 0);
    RemoveTreeAt(TextLength(g_treePath));
}

// Run mode only: the extracted files, then the folders the stub created,
// newest first, so that inner folders go before the folders holding them.
void CleanUp() {
    if (g_run.config[config::kExtractionMode] != kExtractAndRun || ChosenDeleteMode() == kDeleteNever) return;
    const PathList& files = g_run.extractedFiles;
    for (const wchar_t* path = files.First(); path; path = files.Next(path)) {
        SetFileAttributesW(path, 0);
        DeleteOrSchedule(path, false);
    }
    const PathList& folders = g_run.createdFolders;
    for (const wchar_t* path = folders.Last(); path; path = folders.Previous(path)) RemoveFolderTree(path);
}

// The helper deletes the SFX file once this process has gone; the system
// deletes the helper at the next restart.
void StartSelfDelete() {
    // The path in double quotes, put together in place: a table of the
    // three parts would be a constant the compiler keeps in a section of its own.
    wchar_t parameters[kFolderCapacity + 2];
    parameters[0] = '"';
    Widen(g_run.ownPath, parameters + 1, kFolderCapacity);
    const size_t end = TextLength(parameters);
    parameters[end] = '"';
    parameters[end + 1] = 0;
    ShellExecuteW(nullptr, L"open", g_run.helperPath, parameters, nullptr, SW_HIDE);
    MoveFileExW(g_run.helperPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

void SystemText(DWORD code, wchar_t* out, size_t capacity) {
    wchar_t text[kSystemTextCapacity];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, text, kSystemTextCapacity, nullptr);
    CopyText(out, capacity, text, TrimMessageEnd(text, length));
}

void FinishRun(const char* subject, DWORD code) {
    Widen(subject, g_subject, kFolderCapacity + 64);
    FinishRun(g_subject, code);
}

void FinishRun(const wchar_t* subject, DWORD code) {
    // A file still open for writing could be neither deleted nor replaced.
    if (g_run.outputFile) {
        CloseHandle(g_run.outputFile);
        g_run.outputFile = nullptr;
    }
    if (code != 0 && !Silent()) {
        wchar_t text[kSystemTextCapacity];
        SystemText(code, text, kSystemTextCapacity);
        ComposeFailureMessage(subject, text, g_message, sizeof g_message / sizeof *g_message);
        MessageBoxW(nullptr, g_message, nullptr, MB_ICONHAND | MB_TOPMOST);
        DestroyProgressWindow();
    }
    CleanUp();
    if (code == 0 && g_run.helperPath[0]) StartSelfDelete();
    if (g_run.mutex) CloseHandle(g_run.mutex);
    ExitProcess(code == 0 ? g_run.processExitCode : code);
}

}  // namespace ql::stub
