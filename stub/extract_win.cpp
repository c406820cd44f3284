// Extraction on Windows: the extraction folder, the free-space check, folder
// creation, and the files themselves with their times and attributes.
#include <windows.h>
// The shell headers build on windows.h.
#include <objbase.h>
#include <shlobj.h>

#include "shared/ansi_text.h"
#include "shared/size_text.h"
#include "stub/stub_text.h"
#include "stub/stub_win.h"
#include "stub/translations.h"

namespace ql::stub {

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
constexpr UINT kOverwriteQuestion = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TOPMOST;

// One raw block or one packed chunk; zero-initialised, so it costs no file space.
uint8_t g_buffer[kMaxPackedChunk];
char g_targetPath[kTargetPathCapacity];
wchar_t g_wideTarget[kWidePathCapacity];
// The path the last WidePath call gave, in g_wideTarget: the entry the walk is
// at, or the extraction folder before the first entry.
const wchar_t* g_target;
constexpr size_t kQuestionCapacity = kWidePathCapacity + 512;
wchar_t g_question[kQuestionCapacity];

// The base folder in front of `name` (text of the code page from `path` on)
// and the name, UTF-8 or text of the code page, as one path in UTF-16. The
// walk has checked a UTF-8 name, so the conversion cannot fail on it; should
// it fail all the same, the path holds the base folder only and names no entry.
const wchar_t* WidePath(const char* path, const char* name, bool utf8) {
    wchar_t* wide = g_wideTarget + kLongFormRoom;
    const int capacity = static_cast<int>(kTargetPathCapacity);
    const int base = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(name - path), wide, capacity);
    if (!MultiByteToWideChar(utf8 ? CP_UTF8 : CP_ACP, utf8 ? MB_ERR_INVALID_CHARS : 0, name, -1, wide + base,
                             capacity - base))
        wide[base] = 0;
    return g_target = LongPathForm(wide, kLongPathFrom);
}

bool Exists(const wchar_t* path, bool folder) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

bool AskOverwrite(const wchar_t* path) {
    wchar_t exists[256];
    SystemText(ERROR_FILE_EXISTS, exists, 256);
    const wchar_t* const parts[] = {exists, L"\r\n", path, L"\r\n\r\n"};
    JoinTexts(g_question, kQuestionCapacity, parts);
    const size_t length = TextLength(g_question);
    Widen(StubText(g_run.languageRow, TextKind::OverwriteFile), g_question + length,
          kQuestionCapacity - length);
    return MessageBoxW(nullptr, g_question, nullptr, kOverwriteQuestion) == IDYES;
}

// Every path goes to the wide API once converted; the attributes come last
// for each entry and find its path still in g_target.
class FileSink final : public EntrySink {
public:
    void MakeFolder(const char* path, const WalkEntry& entry) override {
        stub::MakeFolder(WidePath(path, entry.name, IsExtendedEntry(entry.header)));
    }

    void SetAttributes(const char*, const WalkEntry& entry) override {
        SetFileAttributesW(g_target, entry.header.Attributes);
    }

    // The helper is the stub's own program, not the user's file: it is written
    // whatever the overwrite mode says, and started only when this run wrote
    // it, never whatever program stood under its name. When it cannot be
    // written, the SFX file simply does not delete itself.
    uint32_t BeginFile(const char* path, const WalkEntry& entry, bool& writing) override {
        const wchar_t* target = WidePath(path, entry.name, IsExtendedEntry(entry.header));
        const uint8_t kind = EntryKind(entry.header);
        const bool helper = kind == kEntryHelper;
        if (kind == kEntryProgram) CopyText(g_run.programPath, kWidePathCapacity, target);
        writing = true;
        if (!helper && Exists(target, false)) {
            const uint8_t mode = g_run.config[config::kOverwriteMode];
            writing = mode == kOverwriteAll || (mode != kOverwriteNone && AskOverwrite(target));
        }
        if (!writing) return 0;  // a kept file stays the user's: the clean-up leaves it alone
        SetFileAttributesW(target, 0);
        HANDLE file =
            CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (!helper) return LastErrorOr(ERROR_CANNOT_MAKE);
            writing = false;
            return 0;
        }
        g_run.outputFile = file;
        if (helper) {
            CopyText(g_run.helperPath, kWidePathCapacity, target);
            return 0;
        }
        return g_run.extractedFiles.Add(target) ? 0 : ERROR_NOT_ENOUGH_MEMORY;
    }

    uint32_t Write(const void* data, uint32_t length) override {
        DWORD written = 0;
        if (!WriteFile(g_run.outputFile, data, length, &written, nullptr))
            return LastErrorOr(ERROR_WRITE_FAULT);
        return written == length ? 0 : ERROR_DISK_FULL;
    }

    void EndFile(const WalkEntry& entry, bool writing) override {
        if (!writing) return;
        const EntryHeader& header = entry.header;
        FILETIME local, utc;
        if (DosDateTimeToFileTime(HIWORD(header.FileTime), LOWORD(header.FileTime), &local) &&
            LocalFileTimeToFileTime(&local, &utc))
            SetFileTime(g_run.outputFile, nullptr, nullptr, &utc);
        CloseHandle(g_run.outputFile);
        g_run.outputFile = nullptr;
    }

    void Progress(uint32_t length) override {
        g_run.doneSize += length;
        UpdateProgress();
        ProcessMessages();
    }
};

// The platform's own folders, each with a trailing backslash; empty when the
// platform cannot supply one.
void SpecialFolder(int csidl, char* out) {
    out[0] = '\0';
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &items))) {
        if (!SHGetPathFromIDListA(items, out)) out[0] = '\0';
        CoTaskMemFree(items);
    }
}

void BrowseForFolder(char* out) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the new dialog style needs COM
    char displayName[MAX_PATH + 1];
    BROWSEINFOA info = {};
    info.hwndOwner = g_run.window;
    info.pszDisplayName = displayName;
    info.lpszTitle = StubText(g_run.languageRow, TextKind::ExtractTo);
    info.ulFlags = kBrowseFlags;
    LPITEMIDLIST items = SHBrowseForFolderA(&info);
    // Cancelling the choice is an ordinary end of the run.
    if (!items) FinishRun("", 0);
    const BOOL found = SHGetPathFromIDListA(items, out);
    CoTaskMemFree(items);
    if (!found) FinishRun("", 0);
}

void ResolveTempFolder() {
    const DWORD needed = GetTempPathA(0, nullptr);
    if (needed == 0 || needed > kFolderCapacity || GetTempPathA(needed, g_run.tempFolder) == 0)
        g_run.tempFolder[0] = '\0';
    AddTrailingBackslash(g_run.tempFolder, kFolderCapacity);
}

// The folder as the configuration names it. An empty result means the
// platform could not supply it; the caller refuses to go on rather than
// extract relative to wherever the process happens to stand.
void ConfiguredFolder(char* out) {
    const uint8_t* c = g_run.config;
    out[0] = '\0';
    switch (c[config::kExtractionFolder]) {
        case kFolderDesktop: SpecialFolder(CSIDL_DESKTOPDIRECTORY, out); break;
        case kFolderDocuments: SpecialFolder(CSIDL_PERSONAL, out); break;
        case kFolderCurrent:
            if (GetCurrentDirectoryA(kFolderCapacity, out) >= kFolderCapacity) out[0] = '\0';
            break;
        case kFolderAsk: BrowseForFolder(out); break;
        case kFolderCustom: {
            char custom[config::kCustomFolderSize + 1];
            CopyText(custom, sizeof custom, reinterpret_cast<const char*>(c + config::kCustomFolder),
                     config::kCustomFolderSize);
            // The count the expansion returns is not to be trusted with
            // double-byte text (Wine has counted characters, not bytes, and
            // written no terminating zero): the whole buffer goes in, zeroed,
            // and a result that fills it or reports failure counts as none.
            memset(out, 0, kFolderCapacity);
            const DWORD result = ExpandEnvironmentStringsA(custom, out, kFolderCapacity);
            out[kFolderCapacity - 1] = '\0';
            if (result == 0 || result > kFolderCapacity || TextLength(out) + 1 >= kFolderCapacity)
                out[0] = '\0';
            break;
        }
        default:
            if (g_run.tempFolder[0]) {
                CopyText(out, kFolderCapacity, g_run.tempFolder);
                const size_t length = TextLength(out);
                CopyText(out + length, kFolderCapacity - length, "~sfx");
                CopyText(out + length + 4, kFolderCapacity - length - 4,
                         reinterpret_cast<const char*>(c + config::kInstanceId), config::kInstanceIdSize);
            }
            break;
    }
    AddTrailingBackslash(out, kFolderCapacity);
}

void ResolveFolder() {
    ResolveTempFolder();
    char configured[kFolderCapacity];
    ConfiguredFolder(configured);
    DWORD length = 0;
    if (!IsBlank(configured)) length = GetFullPathNameA(configured, kFolderCapacity, g_run.folder, nullptr);
    if (length == 0 || length >= kFolderCapacity || IsBlank(g_run.folder)) {
        const bool custom = g_run.config[config::kExtractionFolder] == kFolderCustom && !IsBlank(configured);
        FinishRun(custom ? configured : g_run.ownPath, ERROR_PATH_NOT_FOUND);
    }
    AddTrailingBackslash(g_run.folder, kFolderCapacity);
}

void CheckFreeSpace() {
    char letter = g_run.folder[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    const char root[] = {letter, ':', '\\', '\0'};
    ULARGE_INTEGER available;
    const int64_t freeBytes = GetDiskFreeSpaceExA(root, &available, nullptr, nullptr)
                                  ? static_cast<int64_t>(available.QuadPart)
                                  : -1;
    if (g_run.totalSize <= freeBytes) return;

    char separator[8];
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 5)) CopyText(separator, 2, ".");
    char freeText[kSizeTextCapacity], neededText[kSizeTextCapacity];
    FormatSizeText(freeBytes, separator, freeText, sizeof freeText);
    FormatSizeText(g_run.totalSize, separator, neededText, sizeof neededText);
    char subject[2 * kSizeTextCapacity + 16];
    const char* const parts[] = {root, "   [", freeText, " < ", neededText, "]"};
    JoinTexts(subject, sizeof subject, parts);
    FinishRun(subject, ERROR_DISK_FULL);
}

}  // namespace

void MakeFolder(const wchar_t* path) {
    static wchar_t folder[kWidePathCapacity];
    CopyText(folder, kWidePathCapacity, path);
    size_t length = TextLength(folder);
    if (length > 0 && folder[length - 1] == '\\') folder[--length] = 0;
    if (!length || Exists(folder, true)) return;
    // Create the missing parents first; only the folder asked for counts as created.
    for (size_t i = 1; i < length; ++i) {
        if (folder[i] != '\\') continue;
        folder[i] = 0;
        CreateDirectoryW(folder, nullptr);  // fails, changing nothing, where the folder is there
        folder[i] = '\\';
    }
    if (CreateDirectoryW(folder, nullptr)) g_run.createdFolders.Add(folder);
}

void ExtractAll() {
    ResolveFolder();
    CheckFreeSpace();
    const char* folder = g_run.folder;
    MakeFolder(WidePath(folder, folder + TextLength(folder), false));

    // Every field given here: the defaults would be a constant copied in
    // from a data section of its own.
    const ExtractionPlan plan{
        .containerStart = g_run.containerStart,
        .fileSize = g_run.fileSize,
        .compressed = g_run.config[config::kCompression] != 0,
        .folder = folder,
        // Without a temporary folder the helper goes with the other files
        // rather than into whatever folder is current.
        .helperFolder = g_run.tempFolder[0] ? g_run.tempFolder : folder,
        .buffer = g_buffer,
        .targetPath = g_targetPath,
        .names = CodePageNames(),
        .inflate = InflateChunk,
    };
    OwnFileReader reader;
    FileSink sink;
    const Failure failure = ExtractEntries(reader, plan, sink);
    if (failure.subject == Subject::Target) FinishRun(g_target, failure.code);
    if (failure.code) FinishRun(g_run.ownPath, failure.code);
}

}  // namespace ql::stub
