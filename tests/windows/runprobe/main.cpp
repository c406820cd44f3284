// Stands in for the program an SFX file runs: records how it was started
// (the raw command line, each argument as the C runtime splits it, and the
// working folder) into the file that QUILLON_RECORD names, stays alive for
// QUILLON_LINGER_MS milliseconds when asked, and ends with exit code 3, or
// with QUILLON_EXIT_CODE when that is set. With QUILLON_HOLD it first opens
// that file without letting anyone write or delete it, and holds it open
// while it lingers (the record is written once the file is held).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

unsigned long Setting(const char* name, unsigned long fallback) {
    char text[32];
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n > 0 && n < sizeof text ? std::strtoul(text, nullptr, 10) : fallback;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char held[MAX_PATH * 4];
    DWORD h = GetEnvironmentVariableA("QUILLON_HOLD", held, sizeof held);
    if (h > 0 && h < sizeof held)
        CreateFileA(held, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                    nullptr);  // closed at exit
    char record[MAX_PATH * 4];
    DWORD n = GetEnvironmentVariableA("QUILLON_RECORD", record, sizeof record);
    if (n > 0 && n < sizeof record) {
        if (FILE* f = std::fopen(record, "wb")) {
            char folder[MAX_PATH * 4] = "";
            GetCurrentDirectoryA(sizeof folder, folder);
            std::fprintf(f, "cmdline=%s\ncwd=%s\n", GetCommandLineA(), folder);
            for (int i = 1; i < __argc; ++i) std::fprintf(f, "arg=%s\n", __argv[i]);
            std::fclose(f);
        }
    }
    Sleep(Setting("QUILLON_LINGER_MS", 0));
    return static_cast<int>(Setting("QUILLON_EXIT_CODE", 3));
}
