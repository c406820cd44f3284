// Version information read from a PE file's own resources, the way the
// platform's version functions find and query it: the block is the version
// resource named 1 (in the language that the common lookup rule picks), and a
// value is found by a path of keys such as "\VarFileInfo\Translation".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

class ResourceTree;

struct VersionInfo {
    bool hasTranslation = false;
    uint16_t language = 0;  // first entry of the translation table
    uint16_t codePage = 0;
    bool hasFixedInfo = false;  // the root's fixed file information
    uint32_t fileVersionMs = 0;
    uint32_t fileVersionLs = 0;
    uint32_t productVersionMs = 0;
    uint32_t productVersionLs = 0;
};

// The value stored under `path` in a version block ("\" is the root's own
// value); keys compare without regard to ASCII case. False when the path is
// absent or the block is malformed on the way there.
bool QueryVersionValue(std::string_view block, std::string_view path, std::string_view& value);

// Fills what the block holds; false when it holds neither a translation table
// nor fixed file information.
bool ParseVersionBlock(std::string_view block, VersionInfo& info);

// The block that the version functions would read; false when there is none.
bool FindVersionBlock(const ResourceTree& resources, std::string_view& block);

// The language of the first translation entry of the resources' version
// block; 0 without version information or translation table.
uint16_t VersionLanguageOf(const ResourceTree& resources);

// The same read from a file; false (and an empty result) when the file is not
// a readable PE image or has no usable version block.
bool ReadVersionInfo(const std::string& file, VersionInfo& info);

}  // namespace ql
