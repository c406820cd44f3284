// Embedded resources of the running Windows builder.
#include "builder/resources/embedded_resources.h"

#include <windows.h>

namespace ql {

bool LoadResourceData(const char* type, const char* name, std::string_view& data) {
    HRSRC found = FindResourceA(nullptr, name, type);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return false;
    DWORD size = SizeofResource(nullptr, found);
    const void* bytes = LockResource(loaded);
    if (!bytes || size == 0) return false;
    data = std::string_view(static_cast<const char*>(bytes), size);
    return true;
}

#ifdef _WIN64
constexpr char kArchitecture[] = "x86_64";
#else
constexpr char kArchitecture[] = "i686";
#endif

bool SelectStubArchitecture(const std::string& architecture) { return architecture == kArchitecture; }

}  // namespace ql
