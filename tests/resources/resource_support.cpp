// Helpers of the resource-editing tests; see resource_support.h.
#include "tests/resources/resource_support.h"

#include <cstdio>

#include "builder/engine/version_info.h"
#include "shared/container.h"

namespace ql::test {

namespace {

std::string Ascii(const ResourceName& name) {
    std::string text;
    if (!name.isText) return text.append("#").append(std::to_string(name.number));
    for (char16_t c : name.text) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
}

uint64_t Fnv(const std::string& data) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : data) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

void PutLe(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
}

std::string RunWine(const std::string& arguments) {
    const std::string command = std::string(QUILLON_WINE_RUN) + " " + QUILLON_RESPROBE + " " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "popen failed";
    std::string out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    std::string clean;
    for (char c : out)
        if (c != '\r') clean += c;
    return clean;
}

std::string WinePath(const std::string& path) {
    std::string result = "'Z:";
    for (char c : path) result += c == '/' ? '\\' : c;
    return result + "'";
}

}  // namespace

std::string FixturePath(const std::string& name) { return std::string(QUILLON_RESFIXTURES) + "/" + name; }

std::string CopyFixture(const TempDir& dir, const std::string& name) {
    const std::string from = name.find('/') == std::string::npos ? FixturePath(name) : name;
    const std::string to = dir / name.substr(name.find_last_of('/') + 1);
    WriteFile(to, ReadFile(from));
    return to;
}

ResourceTree Resources(const std::string& path) {
    ResourceTree tree;
    EXPECT_TRUE(LoadResources(path, tree)) << path;
    return tree;
}

ResourceName Text(const char* text) {
    std::u16string s;
    for (const char* p = text; *p; ++p) s += static_cast<char16_t>(*p);
    return ResourceName::Text(s);
}

ResourceName Num(uint16_t number) { return ResourceName::Number(number); }

std::string IconImage(int size, int seed) {
    std::string image;
    PutLe(image, 40, 4);
    PutLe(image, static_cast<uint32_t>(size), 4);
    PutLe(image, static_cast<uint32_t>(2 * size), 4);
    PutLe(image, 1, 2);
    PutLe(image, 32, 2);
    for (int i = 0; i < 6; ++i) PutLe(image, 0, 4);
    for (int i = 0; i < size * size; ++i)
        PutLe(image, 0xFF000000u | static_cast<uint32_t>(seed * 2654435761u >> 8), 4);
    image.append(static_cast<size_t>((size + 31) / 32 * 4 * size), '\0');
    return image;
}

std::string IconFile(const std::vector<std::pair<int, int>>& images) {
    std::string header;
    std::string data;
    PutLe(header, 0, 2);
    PutLe(header, 1, 2);
    PutLe(header, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const auto& [size, seed] : images) {
        const std::string image = IconImage(size, seed);
        header += static_cast<char>(size % 256);
        header += static_cast<char>(size % 256);
        header += std::string(2, '\0');
        PutLe(header, 1, 2);
        PutLe(header, 32, 2);
        PutLe(header, static_cast<uint32_t>(image.size()), 4);
        PutLe(header, offset, 4);
        offset += static_cast<uint32_t>(image.size());
        data += image;
    }
    return header + data;
}

std::vector<uint16_t> GroupNumbers(const std::string& group) {
    std::vector<uint16_t> numbers;
    const auto* p = reinterpret_cast<const uint8_t*>(group.data());
    for (size_t i = 0; group.size() >= 6 && i < ReadLE16(p + 4) && 6 + 14 * (i + 1) <= group.size(); ++i)
        numbers.push_back(ReadLE16(p + 6 + 14 * i + 12));
    return numbers;
}

std::string NativeListing(const std::string& path) {
    ResourceTree tree;
    if (!LoadResources(path, tree)) return "unreadable\n";
    std::string out;
    char line[256];
    tree.ForEach([&](const ResourceKey& key, const ResourceEntry& entry) {
        std::snprintf(line, sizeof line, "%s %s %u size %zu fnv %016llx\n", Ascii(key.type).c_str(),
                      Ascii(key.name).c_str(), key.language, entry.data.size(),
                      static_cast<unsigned long long>(Fnv(entry.data)));
        out += line;
        const auto* p = reinterpret_cast<const uint8_t*>(entry.data.data());
        if (key.type == rt::kGroupIcon) {
            const size_t count = entry.data.size() >= 6 ? ReadLE16(p + 4) : 1;
            for (size_t i = 0; i < count; ++i) {
                if (6 + 14 * (i + 1) > entry.data.size()) {
                    out += "  entry truncated\n";
                    break;
                }
                const uint8_t* e = p + 6 + 14 * i;
                std::snprintf(line, sizeof line, "  entry %ux%u colors %u planes %u bpp %u bytes %u id %u\n",
                              e[0], e[1], e[2], ReadLE16(e + 4), ReadLE16(e + 6), ReadLE32(e + 8),
                              ReadLE16(e + 12));
                out += line;
            }
        }
        if (key.type == rt::kManifest) {
            const std::string marker = "level=\"";
            const size_t at = entry.data.find(marker);
            const size_t end = at == std::string::npos ? at : entry.data.find('"', at + marker.size());
            if (end != std::string::npos)
                out += "  level " + entry.data.substr(at + marker.size(), end - at - marker.size()) + "\n";
        }
    });
    std::string_view block;
    VersionInfo info;
    if (!FindVersionBlock(tree, block)) {
        out += "version none\n";
    } else {
        ParseVersionBlock(block, info);
        std::string version = "-";
        if (info.hasFixedInfo)
            version = std::to_string(info.fileVersionMs >> 16) + "." +
                      std::to_string(info.fileVersionMs & 0xFFFF) + "." +
                      std::to_string(info.fileVersionLs >> 16) + "." +
                      std::to_string(info.fileVersionLs & 0xFFFF);
        out += "version " + std::to_string(info.language) + " " + version + "\n";
    }
    return out;
}

std::string WineListing(const std::string& path) { return RunWine(WinePath(path)); }

std::string WineIcon(const std::string& path) { return RunWine("--icon " + WinePath(path)); }

}  // namespace ql::test
