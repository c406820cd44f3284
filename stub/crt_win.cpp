// The few C runtime functions the stub and zlib need, on the process heap and
// in plain loops: the stub links no C runtime, which keeps it small.
#include <windows.h>

extern "C" {

void* memcpy(void* to, const void* from, size_t n) {
    auto* d = static_cast<unsigned char*>(to);
    auto* s = static_cast<const unsigned char*>(from);
    while (n--) *d++ = *s++;
    return to;
}

void* memmove(void* to, const void* from, size_t n) {
    auto* d = static_cast<unsigned char*>(to);
    auto* s = static_cast<const unsigned char*>(from);
    if (d < s) {
        while (n--) *d++ = *s++;
    } else {
        while (n--) d[n] = s[n];
    }
    return to;
}

void* memset(void* to, int value, size_t n) {
    auto* d = static_cast<unsigned char*>(to);
    while (n--) *d++ = static_cast<unsigned char>(value);
    return to;
}

size_t strlen(const char* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

void* malloc(size_t n) { return HeapAlloc(GetProcessHeap(), 0, n); }

void free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

// zlib's default allocators: defined here, they keep zlib's zutil.o (and its
// table of error texts, which the stub never shows) out of the link.
void* zcalloc(void*, unsigned items, unsigned size) { return malloc(static_cast<size_t>(items) * size); }

void zcfree(void*, void* block) { free(block); }

}  // extern "C"
