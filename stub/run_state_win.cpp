// The run state, PathList on the process heap, and the small text helpers of the stub.
#include "shared/ansi_text.h"
#include "stub/stub_text.h"
#include "stub/stub_win.h"

namespace ql::stub {

RunState g_run;

bool PathList::Add(const wchar_t* path) {
    const size_t length = TextLength(path) + 1;
    if (used + length > capacity) {
        size_t grown = capacity ? capacity * 2 : 4096;
        while (grown < used + length) grown *= 2;
        const size_t bytes = grown * sizeof(wchar_t);
        void* block =
            data ? HeapReAlloc(GetProcessHeap(), 0, data, bytes) : HeapAlloc(GetProcessHeap(), 0, bytes);
        if (!block) return false;
        data = static_cast<wchar_t*>(block);
        capacity = grown;
    }
    CopyText(data + used, length, path);
    used += length;
    return true;
}

const wchar_t* PathList::Next(const wchar_t* path) const {
    const wchar_t* next = path + TextLength(path) + 1;
    return next < data + used ? next : nullptr;
}

// Paths never hold a zero, so the one before ends at the zero in front.
const wchar_t* PathList::Previous(const wchar_t* path) const {
    if (path == data) return nullptr;
    const wchar_t* p = path - 1;  // the terminator of the previous path
    while (p > data && p[-1] != 0) --p;
    return p;
}

const wchar_t* PathList::Last() const {
    if (!used) return nullptr;
    const wchar_t* p = data + used - 1;
    while (p > data && p[-1] != 0) --p;
    return p;
}

uint32_t OwnFileReader::Seek(int64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(g_run.ownFile, to, nullptr, FILE_BEGIN) ? 0 : LastErrorOr(kErrorInvalidData);
}

uint32_t OwnFileReader::Read(void* data, uint32_t length) {
    DWORD got = 0;
    if (!ReadFile(g_run.ownFile, data, length, &got, nullptr)) return LastErrorOr(kErrorInvalidData);
    return got == length ? 0 : kErrorInvalidData;
}

DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error ? error : fallback;
}

bool IsLeadByteOfCodePage(uint8_t c) { return IsDBCSLeadByte(c) != 0; }

namespace {

// Read the way the system reads the name when it creates the file.
bool IsSuperscriptDigitOfCodePage(const uint8_t* text, size_t length) {
    wchar_t wide[2];
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(text),
                                      static_cast<int>(length), wide, 2);
    return n == 1 && (wide[0] == 0xB9 || wide[0] == 0xB2 || wide[0] == 0xB3);
}

}  // namespace

NameEncoding CodePageNames() { return NameEncoding{IsLeadByteOfCodePage, IsSuperscriptDigitOfCodePage}; }

void AddTrailingBackslash(char* path, size_t capacity) {
    const size_t length = TextLength(path);
    if (length == 0 || EndsWithCharacter(path, length, '\\', IsLeadByteOfCodePage) || length + 2 > capacity)
        return;
    path[length] = '\\';
    path[length + 1] = '\0';
}

void Widen(const char* text, wchar_t* out, size_t capacity) {
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, out, static_cast<int>(capacity))) out[0] = 0;
}

wchar_t* LongPathForm(wchar_t* path, size_t from) {
    if (TextLength(path) < from) return path;
    const wchar_t* prefix = L"\\\\?\\UNC";
    size_t length = 4;
    if (path[0] == '\\' && path[1] == '\\') {
        if (path[2] == '?' || path[2] == '.') return path;
        length = 7;  // "\\?\UNC" over the share's first backslash
        path -= 2;
    }
    path -= 4;
    for (size_t i = 0; i < length; ++i) path[i] = prefix[i];
    return path;
}

}  // namespace ql::stub
