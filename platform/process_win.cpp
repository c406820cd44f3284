// Win32 process facts.
#include "platform/process.h"

#include <windows.h>

namespace ql::platform {

std::string CommandLineText() {
    const char* line = GetCommandLineA();
    return line ? line : "";
}

std::string ModulePath() {
    char buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, n);
}

bool IsNtFamily() { return (GetVersion() & 0x80000000u) == 0; }

}  // namespace ql::platform
