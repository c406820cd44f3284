// Reading VS_VERSIONINFO blocks. Each node of the block is: length (2 bytes,
// the whole node with its children), value length (2), type (2: 0 binary, 1
// text, whose value length counts UTF-16 units), a zero-terminated UTF-16 key,
// padding to 4 bytes, the value, padding to 4 bytes, then the child nodes,
// each starting on a 4-byte boundary. Boundaries count from the block's start.
#include "builder/engine/version_info.h"

#include <algorithm>

#include "builder/engine/byte_fields.h"
#include "builder/engine/resource_tree.h"
#include "builder/engine/resource_update.h"

namespace ql {

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;

size_t Align4(size_t v) { return (v + 3) & ~size_t{3}; }

struct Node {
    size_t keyAt = 0;
    size_t keyLength = 0;  // UTF-16 units, without the terminator
    size_t valueAt = 0;
    size_t valueSize = 0;
    size_t childrenAt = 0;
    size_t end = 0;
};

bool ReadNode(std::string_view block, size_t at, size_t limit, Node& node) {
    if (at + 6 > limit) return false;
    const size_t length = Le16(block, at);
    if (length < 6 || at + length > limit) return false;
    node.end = at + length;
    node.keyAt = at + 6;
    size_t p = node.keyAt;
    while (true) {
        if (p + 2 > node.end) return false;
        if (Le16(block, p) == 0) break;
        p += 2;
    }
    node.keyLength = (p - node.keyAt) / 2;
    // Without a value the padding behind the key may reach past the node's
    // end; the (empty) value then sits at the end, never beyond the block.
    const size_t valueLength = Le16(block, at + 2);
    node.valueSize = Le16(block, at + 4) == 1 ? 2 * valueLength : valueLength;
    node.valueAt = std::min(Align4(p + 2), node.end);
    if (node.valueAt + node.valueSize > node.end) return false;
    node.childrenAt = Align4(node.valueAt + node.valueSize);
    return true;
}

bool KeyEquals(std::string_view block, const Node& node, std::string_view key) {
    if (node.keyLength != key.size()) return false;
    auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (size_t i = 0; i < key.size(); ++i)
        if (lower(Le16(block, node.keyAt + 2 * i)) != lower(static_cast<unsigned char>(key[i]))) return false;
    return true;
}

}  // namespace

bool QueryVersionValue(std::string_view block, std::string_view path, std::string_view& value) {
    Node node;
    if (!ReadNode(block, 0, block.size(), node)) return false;
    size_t start = 0;
    while (start < path.size()) {
        while (start < path.size() && path[start] == '\\') ++start;
        if (start == path.size()) break;
        size_t stop = path.find('\\', start);
        if (stop == std::string_view::npos) stop = path.size();
        const std::string_view key = path.substr(start, stop - start);
        start = stop;
        bool found = false;
        for (size_t at = node.childrenAt; at < node.end;) {
            Node child;
            if (!ReadNode(block, at, node.end, child)) return false;
            if (KeyEquals(block, child, key)) {
                node = child;
                found = true;
                break;
            }
            at = Align4(child.end);
        }
        if (!found) return false;
    }
    value = block.substr(node.valueAt, node.valueSize);
    return true;
}

bool ParseVersionBlock(std::string_view block, VersionInfo& info) {
    info = VersionInfo();
    std::string_view value;
    if (QueryVersionValue(block, "\\VarFileInfo\\Translation", value) && value.size() >= 2) {
        info.hasTranslation = true;
        info.language = Le16(value, 0);
        if (value.size() >= 4) info.codePage = Le16(value, 2);
    }
    if (QueryVersionValue(block, "\\", value) && value.size() >= kFixedInfoSize &&
        Le32(value, 0) == kFixedInfoSignature) {
        info.hasFixedInfo = true;
        info.fileVersionMs = Le32(value, 8);
        info.fileVersionLs = Le32(value, 12);
        info.productVersionMs = Le32(value, 16);
        info.productVersionLs = Le32(value, 20);
    }
    return info.hasTranslation || info.hasFixedInfo;
}

bool FindVersionBlock(const ResourceTree& resources, std::string_view& block) {
    // The version functions look for the version resource named 1 only.
    const ResourceEntry* entry = resources.FindAnyLanguage(rt::kVersion, ResourceName::Number(1), 0);
    if (entry == nullptr || entry->data.size() < 6) return false;
    block = entry->data;
    // The block's own length governs; a resource larger than it carries padding.
    const size_t length = Le16(block, 0);
    if (length < block.size()) block = block.substr(0, length);
    return true;
}

uint16_t VersionLanguageOf(const ResourceTree& resources) {
    std::string_view block;
    VersionInfo info;
    if (!FindVersionBlock(resources, block) || !ParseVersionBlock(block, info)) return 0;
    return info.language;
}

bool ReadVersionInfo(const std::string& file, VersionInfo& info) {
    info = VersionInfo();
    ResourceTree resources;
    std::string_view block;
    return LoadResources(file, resources) && FindVersionBlock(resources, block) &&
           ParseVersionBlock(block, info);
}

}  // namespace ql
