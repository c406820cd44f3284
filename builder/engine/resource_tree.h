// A PE file's resources as a tree of type, name and language, read from the
// file's resource directory and written back as a new resource section.
//
// Order matters: Windows finds string names and numbers by binary search, so a
// directory lists string names first (ascending by UTF-16 code units, a prefix
// before its extensions), then numbers ascending, and languages ascending. The
// tree keeps that order, and "the first icon group" is the first name in it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ql {

class PeImage;

// A resource type or name: a 16-bit number or a UTF-16 string.
struct ResourceName {
    bool isText = false;
    uint16_t number = 0;
    std::u16string text;

    static ResourceName Number(uint16_t n) { return {false, n, {}}; }
    static ResourceName Text(std::u16string s) { return {true, 0, std::move(s)}; }
    bool operator==(const ResourceName& other) const {
        return isText == other.isText && number == other.number && text == other.text;
    }
    bool operator<(const ResourceName& other) const;
};

namespace rt {
inline const ResourceName kIcon = ResourceName::Number(3);
inline const ResourceName kGroupIcon = ResourceName::Number(14);
inline const ResourceName kVersion = ResourceName::Number(16);
inline const ResourceName kManifest = ResourceName::Number(24);
}  // namespace rt

struct ResourceKey {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;  // 0 is the neutral language
};

struct ResourceEntry {
    std::string data;
    uint32_t codePage = 0;
};

class ResourceTree {
public:
    std::vector<ResourceName> Types() const;
    // In directory order; empty when the type (or name) does not exist.
    std::vector<ResourceName> Names(const ResourceName& type) const;
    std::vector<uint16_t> Languages(const ResourceName& type, const ResourceName& name) const;

    const ResourceEntry* Find(const ResourceKey& key) const;
    // A lookup by type and name alone. Both builders use this one rule, so an
    // SFX file comes out the same wherever it is built: the preferred language
    // when present, else the neutral language, else the lowest language.
    const ResourceEntry* FindAnyLanguage(const ResourceName& type, const ResourceName& name,
                                         uint16_t preferred) const;

    // Adds or replaces the resource under exactly this key.
    void Put(const ResourceKey& key, ResourceEntry entry);
    // Removes it; a name or type left without resources disappears as well.
    void Remove(const ResourceKey& key);

    bool Empty() const { return types_.empty(); }
    // Every resource in directory order.
    void ForEach(const std::function<void(const ResourceKey&, const ResourceEntry&)>& visit) const;

private:
    using LanguageMap = std::map<uint16_t, ResourceEntry>;
    using NameMap = std::map<ResourceName, LanguageMap>;
    std::map<ResourceName, NameMap> types_;
};

// Reads the image's resource directory (an image without one gives an empty
// tree). False when the directory is damaged (offsets outside the section or
// the file, a level missing or too deep, a string-named language, a key listed
// twice) or beyond the budgets that keep a hostile file from taking all time
// and memory (entries visited, name bytes, data); `problem` then
// says which of the two, in words for the user.
bool ParseResourceTree(const PeImage& image, ResourceTree& tree, std::string* problem = nullptr);

// Lays the tree out as the content of a resource section that starts at
// `sectionRva`: directories, data entries, name strings, then the data, each
// block aligned to 8 bytes. False when it would not fit the format's limits.
bool SerialiseResourceTree(const ResourceTree& tree, uint32_t sectionRva, std::string& out);

}  // namespace ql
