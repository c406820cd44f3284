// The stub's run state and the operations its Windows modules share. The run
// state is one zero-initialised global: the stub has no constructors to run.
#pragma once

#include <windows.h>

#include "shared/container.h"
#include "stub/container_walk.h"

namespace ql::stub {

constexpr size_t kFolderCapacity = kMaxBaseFolderLength + 1;
constexpr UINT kCaptionStringId = 1;

// Zero-terminated paths packed one behind the other, in the order they came.
struct PathList {
    char* data;
    size_t used;
    size_t capacity;

    // False when memory ran out; the list is then unchanged.
    bool Add(const char* path);
    // The first path, or null; Next gives the one behind `path`, or null.
    const char* First() const { return used ? data : nullptr; }
    const char* Next(const char* path) const;
    // The last path, or null; Previous gives the one before `path`, or null.
    const char* Last() const;
    const char* Previous(const char* path) const;
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
    char programPath[kTargetPathCapacity];
    char helperPath[kTargetPathCapacity];
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
size_t TextLength(const char* text);
// Copies at most capacity - 1 bytes and terminates.
void CopyText(char* out, size_t capacity, const char* text, size_t maxLength = static_cast<size_t>(-1));
// The texts one behind the other, cut to capacity - 1 bytes.
template <size_t N>
void JoinTexts(char* out, size_t capacity, const char* const (&parts)[N]) {
    out[0] = '\0';
    size_t length = 0;
    for (const char* part : parts) {
        CopyText(out + length, capacity - length, part);
        length += TextLength(out + length);
    }
}

// The only way a run ends: message (failures, unless silent), clean-up,
// self-delete start (success only), mutex release, exit.
[[noreturn]] void FinishRun(const char* subject, DWORD code);
// The platform's text for `code`, trailing blanks, control characters and
// full stops removed; at most 256 bytes.
void SystemText(DWORD code, char* out, size_t capacity);

// Progress window (nothing of it exists in silent mode).
void CreateProgressWindow();
void DestroyProgressWindow();
void UpdateProgress();
void ProcessMessages();

// Extraction: folder choice, disk check, folder creation and the entries.
void ExtractAll();
void MakeFolder(const char* path);

// Opens the folder or runs the program; ends through FinishRun.
[[noreturn]] void RunPhase();

}  // namespace ql::stub
