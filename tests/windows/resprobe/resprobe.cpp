// Lists an executable's resources the way Windows itself reads them, as
// canonical text that the native tests compare with what the portable editor
// meant to leave:
//   <type> <name> <language> size <bytes> fnv <hash>   in enumeration order
//     entry <w>x<h> colors <c> planes <p> bpp <b> bytes <n> id <icon>   per icon group entry
//     level <value>                                    per manifest
//   version <language> <a.b.c.d>   (or "version none"), from the version functions
// Numbers print as #n, string names as they are. With --icon it prints the icon
// that Windows picks from the first icon group for 32x32 and whether it draws.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Id(LPCSTR id) {
    if (!IS_INTRESOURCE(id)) return id;
    char text[16];
    std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(id)));
    return text;
}

// Keeps enumerated names: string names are only valid inside the callback.
struct Name {
    bool number;
    WORD value;
    std::string text;
    LPCSTR Get() const { return number ? MAKEINTRESOURCEA(value) : text.c_str(); }
};

Name Keep(LPCSTR id) {
    if (IS_INTRESOURCE(id)) return {true, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)), {}};
    return {false, 0, id};
}

BOOL CALLBACK OnType(HMODULE, LPSTR type, LONG_PTR list) {
    reinterpret_cast<std::vector<Name>*>(list)->push_back(Keep(type));
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
    reinterpret_cast<std::vector<Name>*>(list)->push_back(Keep(name));
    return TRUE;
}

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

unsigned long long Fnv(const unsigned char* p, DWORD size) {
    unsigned long long hash = 14695981039346656037ull;
    for (DWORD i = 0; i < size; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

WORD Le16(const unsigned char* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

void PrintGroup(const unsigned char* p, DWORD size) {
    if (size < 6) {
        std::printf("  entry truncated\n");
        return;
    }
    const WORD count = Le16(p + 4);
    for (WORD i = 0; i < count; ++i) {
        const unsigned char* e = p + 6 + 14 * i;
        if (6 + 14 * (i + 1ul) > size) {
            std::printf("  entry truncated\n");
            return;
        }
        std::printf("  entry %ux%u colors %u planes %u bpp %u bytes %lu id %u\n", e[0], e[1], e[2],
                    Le16(e + 4), Le16(e + 6), static_cast<unsigned long>(Le32(e + 8)), Le16(e + 12));
    }
}

void PrintLevel(const unsigned char* p, DWORD size) {
    const std::string text(reinterpret_cast<const char*>(p), size);
    const std::string key = "level=\"";
    const size_t at = text.find(key);
    if (at == std::string::npos) return;
    const size_t end = text.find('"', at + key.size());
    if (end != std::string::npos)
        std::printf("  level %s\n", text.substr(at + key.size(), end - at - key.size()).c_str());
}

void PrintVersion(const char* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    std::vector<unsigned char> block(size ? size : 1);
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, block.data())) {
        std::printf("version none\n");
        return;
    }
    void* value = nullptr;
    UINT length = 0;
    WORD language = 0;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) && length >= 2)
        language = *static_cast<WORD*>(value);
    std::string version = "-";
    if (VerQueryValueA(block.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const VS_FIXEDFILEINFO* info = static_cast<VS_FIXEDFILEINFO*>(value);
        version = std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(info->dwFileVersionLS));
    }
    std::printf("version %u %s\n", language, version.c_str());
}

int ListResources(HMODULE module, const char* path) {
    std::vector<Name> types;
    EnumResourceTypesA(module, OnType, reinterpret_cast<LONG_PTR>(&types));
    for (const Name& type : types) {
        std::vector<Name> names;
        EnumResourceNamesA(module, type.Get(), OnName, reinterpret_cast<LONG_PTR>(&names));
        for (const Name& name : names) {
            std::vector<WORD> languages;
            EnumResourceLanguagesA(module, type.Get(), name.Get(), OnLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            for (WORD language : languages) {
                HRSRC found = FindResourceExA(module, type.Get(), name.Get(), language);
                HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
                const unsigned char* data =
                    loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
                if (data == nullptr) {
                    std::printf("%s %s %u unreadable\n", Id(type.Get()).c_str(), Id(name.Get()).c_str(),
                                language);
                    continue;
                }
                const DWORD size = SizeofResource(module, found);
                std::printf("%s %s %u size %lu fnv %016llx\n", Id(type.Get()).c_str(), Id(name.Get()).c_str(),
                            language, static_cast<unsigned long>(size), Fnv(data, size));
                if (type.number && type.value == 14) PrintGroup(data, size);
                if (type.number && type.value == 24) PrintLevel(data, size);
            }
        }
    }
    PrintVersion(path);
    return 0;
}

BOOL CALLBACK OnFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR first) {
    *reinterpret_cast<Name*>(first) = Keep(name);
    return FALSE;
}

int ShowIcon(HMODULE module) {
    Name group{true, 0, {}};
    EnumResourceNamesA(module, MAKEINTRESOURCEA(14), OnFirstName, reinterpret_cast<LONG_PTR>(&group));
    HRSRC found =
        group.number && group.value == 0 ? nullptr : FindResourceA(module, group.Get(), MAKEINTRESOURCEA(14));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    BYTE* directory = loaded ? static_cast<BYTE*>(LockResource(loaded)) : nullptr;
    const int id = directory ? LookupIconIdFromDirectoryEx(directory, TRUE, 32, 32, LR_DEFAULTCOLOR) : 0;
    HRSRC image = id ? FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3)) : nullptr;
    HGLOBAL imageData = image ? LoadResource(module, image) : nullptr;
    BYTE* bits = imageData ? static_cast<BYTE*>(LockResource(imageData)) : nullptr;
    HICON icon = bits ? CreateIconFromResourceEx(bits, SizeofResource(module, image), TRUE, 0x00030000, 0, 0,
                                                 LR_DEFAULTCOLOR)
                      : nullptr;
    ICONINFO info{};
    BITMAP bitmap{};
    if (icon == nullptr || !GetIconInfo(icon, &info) || !GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
        std::printf("icon none\n");
        return 0;
    }
    std::printf("icon %d %ldx%ld\n", id, bitmap.bmWidth, bitmap.bmHeight);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool icon = argc == 3 && std::string(argv[1]) == "--icon";
    if (argc != 2 && !icon) {
        std::fprintf(stderr, "usage: resprobe [--icon] FILE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        std::printf("load failed %lu\n", GetLastError());
        return 1;
    }
    const int result = icon ? ShowIcon(module) : ListResources(module, path);
    FreeLibrary(module);
    return result;
}
