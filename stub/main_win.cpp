// The stub's entry point: open the own file, find and read the container,
// guard against a second run, size, extract, then run or open.
#include "stub/stub_win.h"
#include "stub/translations.h"

namespace ql::stub {

namespace {

[[noreturn]] void Run() {
    const char* own = g_run.ownPath;
    const DWORD length = GetModuleFileNameA(nullptr, g_run.ownPath, kFolderCapacity);
    if (length == 0 || length >= kFolderCapacity) FinishRun(own, LastErrorOr(ERROR_FILENAME_EXCED_RANGE));
    g_run.ownFile = CreateFileA(own, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_run.ownFile == INVALID_HANDLE_VALUE) FinishRun(own, LastErrorOr(ERROR_OPEN_FAILED));
    LARGE_INTEGER size;
    if (!GetFileSizeEx(g_run.ownFile, &size)) FinishRun(own, LastErrorOr(ERROR_READ_FAULT));
    g_run.fileSize = size.QuadPart;

    OwnFileReader reader;
    uint32_t error = LocateContainer(reader, g_run.fileSize, g_run.containerStart);
    if (!error) error = reader.Seek(g_run.containerStart);
    if (!error) error = reader.Read(g_run.config, config::kSize);
    if (!error) error = CheckInstanceId(g_run.config, CodePageNames());
    if (error) FinishRun(own, error);

    if (g_run.config[config::kOneInstance]) {
        // The identifier's zero byte ends the name; should it be missing, the
        // block's last bytes still bound it.
        char name[config::kSize - config::kInstanceId + 1];
        CopyText(name, sizeof name, reinterpret_cast<const char*>(g_run.config + config::kInstanceId),
                 sizeof name - 1);
        g_run.mutex = CreateMutexA(nullptr, TRUE, name);
        if (GetLastError() == ERROR_ALREADY_EXISTS) FinishRun(own, ERROR_SINGLE_INSTANCE_APP);
    }

    g_run.languageRow = ChooseLanguageRow(GetSystemDefaultLangID(), GetACP());
    if (!Silent()) {
        CreateProgressWindow();
        ProcessMessages();
    }

    const bool compressed = g_run.config[config::kCompression] != 0;
    EntryTotals totals;
    error = SizeEntries(reader, g_run.containerStart, g_run.fileSize, compressed, totals, ProcessMessages);
    if (!error) error = CheckRunEntry(g_run.config, totals);
    if (error) FinishRun(own, error);
    g_run.totalSize = totals.size;

    ExtractAll();
    CloseHandle(g_run.ownFile);
    g_run.ownFile = nullptr;
    DestroyProgressWindow();
    RunPhase();
}

}  // namespace

}  // namespace ql::stub

// The stub runs without the C runtime: this is the process entry point.
extern "C" __attribute__((force_align_arg_pointer)) void StubEntry() { ql::stub::Run(); }
