// The run state, PathList on the process heap, and the small text helpers of the stub.
#include "shared/ansi_text.h"
#include "stub/stub_text.h"
#include "stub/stub_win.h"

namespace ql::stub {

RunState g_run;

bool PathList::Add(const char* path) {
    const size_t length = TextLength(path) + 1;
    if (used + length > capacity) {
        size_t grown = capacity ? capacity * 2 : 4096;
        while (grown < used + length) grown *= 2;
        void* block =
            data ? HeapReAlloc(GetProcessHeap(), 0, data, grown) : HeapAlloc(GetProcessHeap(), 0, grown);
        if (!block) return false;
        data = static_cast<char*>(block);
        capacity = grown;
    }
    for (size_t i = 0; i < length; ++i) data[used + i] = path[i];
    used += length;
    return true;
}

const char* PathList::Next(const char* path) const {
    const char* next = path + TextLength(path) + 1;
    return next < data + used ? next : nullptr;
}

// Paths never hold a zero byte, so the one before ends at the zero in front.
const char* PathList::Previous(const char* path) const {
    if (path == data) return nullptr;
    const char* p = path - 1;  // the terminator of the previous path
    while (p > data && p[-1] != '\0') --p;
    return p;
}

const char* PathList::Last() const {
    if (!used) return nullptr;
    const char* p = data + used - 1;
    while (p > data && p[-1] != '\0') --p;
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

size_t TextLength(const char* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

void CopyText(char* out, size_t capacity, const char* text, size_t maxLength) {
    size_t n = 0;
    for (; n + 1 < capacity && n < maxLength && text[n]; ++n) out[n] = text[n];
    out[n] = '\0';
}

}  // namespace ql::stub
