// The stub's run state and the operations its Windows modules share. The run
// state is one zero-initialised global: the stub has no constructors to run.
#pragma once

#include <windows.h>

#include "shared/container.h"
#include "stub/container_walk.h"
#include "stub/stub_text.h"

namespace ql::stub {

constexpr size_t kFolderCapacity = kMaxBaseFolderLength + 1;
constexpr UINT kCaptionStringId = 1;

// The paths of what the stub creates are UTF-16, for names in any script:
// the base folder converted from the code page, the stored name from its
// own form. From this length on a path goes in the \\?\ form, which reaches
// beyond MAX_PATH (shorter paths stay as they are shown and run): the limit
// for a folder, which must leave room for a file name of 8.3 characters.
constexpr size_t kLongPathFrom = MAX_PATH - 12;
// Room in front of a path for that form's prefix ("\\?\UNC" replaces the "\\" of a share).
constexpr size_t kLongFormRoom = 8;
constexpr size_t kWidePathCapacity = kLongFormRoom + kTargetPathCapacity;

// Zero-terminated paths packed one behind the other, in the order they came.
struct PathList {
    wchar_t* data;
    size_t used;      // characters
    size_t capacity;  // characters

    // False when memory ran out; the list is then unchanged.
    bool Add(const wchar_t* path);
    // The first path, or null; Next gives the one behind `path`, or null.
    const wchar_t* First() const { return used ? data : nullptr; }
    const wchar_t* Next(const wchar_t* path) const;
    // The last path, or null; Previous gives the one before `path`, or null.
    const wchar_t* Last() const;
    const wchar_t* Previous(const wchar_t* path) const;
};

struct RunState {
    char ownPath[kFolderCapacity];
    HANDLE ownFile;
    int64_t fileSize;
    uint32_t containerStart;
    uint8_t config[config::kSize];
    int64_t totalSize;
    int64_t doneSize;
    uint8_t languageRow;
    HWND window;
    HFONT textFont;
    HFONT smallFont;
    char folder[kFolderCapacity];      // extraction folder, ends in a backslash
    char tempFolder[kFolderCapacity];  // temporary folder, ends in a backslash
    wchar_t programPath[kWidePathCapacity];
    wchar_t helperPath[kWidePathCapacity];
    PathList extractedFiles;
    PathList createdFolders;
    HANDLE mutex;
    HANDLE outputFile;  // the file being extracted, open only during its entry
    DWORD processExitCode;
};

extern RunState g_run;

// The own file, read through the platform; a read that stops short means the
// container is damaged.
class OwnFileReader final : public ByteReader {
public:
    uint32_t Seek(int64_t position) override;
    uint32_t Read(void* data, uint32_t length) override;
};

inline bool Silent() { return g_run.config[config::kSilentMode] != 0; }

// The platform's last error, or `fallback` when the platform reports none.
DWORD LastErrorOr(DWORD fallback);
bool IsLeadByteOfCodePage(uint8_t c);
// How the system's code page forms the characters of stored names.
NameEncoding CodePageNames();
// Appends a backslash unless the text is empty or already ends in one.
void AddTrailingBackslash(char* path, size_t capacity);

template <typename Char>
size_t TextLength(const Char* text) {
    return text_detail::Length(text);  // the failure message's: one loop per character type
}

// Copies at most capacity - 1 characters and terminates.
template <typename Char>
void CopyText(Char* out, size_t capacity, const Char* text, size_t maxLength = static_cast<size_t>(-1)) {
    size_t n = 0;
    for (; n + 1 < capacity && n < maxLength && text[n]; ++n) out[n] = text[n];
    out[n] = 0;
}

// The texts one behind the other, cut to capacity - 1 characters.
template <typename Char, size_t N>
void JoinTexts(Char* out, size_t capacity, const Char* const (&parts)[N]) {
    out[0] = 0;
    size_t length = 0;
    for (const Char* part : parts) {
        CopyText(out + length, capacity - length, part);
        length += TextLength(out + length);
    }
}

// Text of the code page in UTF-16; empty when it does not fit into `capacity`.
void Widen(const char* text, wchar_t* out, size_t capacity);
// `path`, which has kLongFormRoom characters free in front of it, in the
// \\?\ form when it is at least `from` characters long; a path already in
// that form or in the device form stays as it is. The system takes such a
// path as it stands, so it must be full and plain already: a full base folder
// and names under the name rule are.
wchar_t* LongPathForm(wchar_t* path, size_t from);

// The only way a run ends: message (failures, unless silent), clean-up,
// self-delete start (success only), mutex release, exit.
[[noreturn]] void FinishRun(const wchar_t* subject, DWORD code);
// The same with a subject in the code page.
[[noreturn]] void FinishRun(const char* subject, DWORD code);
// The platform's text for `code`, trailing blanks, control characters and
// full stops removed; at most 256 characters.
void SystemText(DWORD code, wchar_t* out, size_t capacity);

// Progress window (nothing of it exists in silent mode).
void CreateProgressWindow();
void DestroyProgressWindow();
void UpdateProgress();
void ProcessMessages();

// Extraction: folder choice, disk check, folder creation and the entries.
void ExtractAll();
// Creates the folder and its missing parents; only the folder itself is
// recorded as created.
void MakeFolder(const wchar_t* path);

// Opens the folder or runs the program; ends through FinishRun.
[[noreturn]] void RunPhase();

}  // namespace ql::stub
