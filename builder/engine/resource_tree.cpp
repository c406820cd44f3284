// The resource directory of a PE file: parsed into a tree and laid out again.
//
// On disk the directory has three levels (type, name, language). Each level is
// a 16-byte table header followed by 8-byte entries; an entry's first word is a
// number or (high bit set) the offset of a length-prefixed UTF-16 string, its
// second the offset of the next level's table (high bit set) or, on the
// language level, of a 16-byte data entry whose first word is the RVA of the
// data. Offsets count from the start of the directory, RVAs from the image base.
#include "builder/engine/resource_tree.h"

#include <set>
#include <string_view>

#include "builder/engine/byte_fields.h"
#include "builder/engine/pe_image.h"
#include "builder/resources/texts.h"

namespace ql {

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kTableEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
// Budgets against directories built to multiply their size: tables shared by
// many entries make a small directory list billions of them, names that
// overlap in the file make many long names of one string. Real programs stay
// far below either. Every resource is an entry visited, so the entry budget
// also bounds the number of resources.
constexpr size_t kMaxEntriesVisited = 1 << 18;
constexpr uint64_t kMaxNameBytes = 1 << 20;

class DirectoryReader {
public:
    DirectoryReader(const PeImage& image, std::string_view directory, ResourceTree& tree)
        : image_(image),
          directory_(directory),
          tree_(tree),
          dataBudget_(2 * uint64_t{image.Bytes().size()} + (1u << 20)) {}

    bool ReadTable(uint32_t offset, int level, ResourceKey& key) {
        if (uint64_t{offset} + kTableHeaderSize > directory_.size()) return false;
        const uint32_t count = uint32_t{Le16(directory_, offset + 12)} + Le16(directory_, offset + 14);
        if (uint64_t{offset} + kTableHeaderSize + uint64_t{count} * kTableEntrySize > directory_.size())
            return false;
        std::set<ResourceName> seen;
        for (uint32_t i = 0; i < count; ++i) {
            if (++entriesVisited_ > kMaxEntriesVisited) return TooLarge();
            const size_t entry = offset + kTableHeaderSize + i * kTableEntrySize;
            ResourceName name;
            if (!ReadName(Le32(directory_, entry), name)) return false;
            if (!seen.insert(name).second) return false;
            const uint32_t target = Le32(directory_, entry + 4);
            if (level < 2) {
                if ((target & kHighBit) == 0) return false;
                (level == 0 ? key.type : key.name) = name;
                if (!ReadTable(target & ~kHighBit, level + 1, key)) return false;
            } else {
                if (name.isText || (target & kHighBit) != 0) return false;
                key.language = name.number;
                if (!ReadData(target, key)) return false;
            }
        }
        return true;
    }

    bool tooLarge = false;  // a budget ran out, rather than the directory being damaged

private:
    bool ReadName(uint32_t field, ResourceName& name) {
        if ((field & kHighBit) == 0) {
            if (field > 0xFFFF) return false;
            name = ResourceName::Number(static_cast<uint16_t>(field));
            return true;
        }
        const uint64_t at = field & ~kHighBit;
        if (at + 2 > directory_.size()) return false;
        const uint16_t length = Le16(directory_, static_cast<size_t>(at));
        if (at + 2 + 2 * uint64_t{length} > directory_.size()) return false;
        nameBytes_ += 2 + 2 * uint64_t{length};
        if (nameBytes_ > kMaxNameBytes) return TooLarge();
        std::u16string text(length, u'\0');
        for (uint16_t i = 0; i < length; ++i) text[i] = Le16(directory_, static_cast<size_t>(at + 2 + 2 * i));
        name = ResourceName::Text(std::move(text));
        return true;
    }

    bool ReadData(uint32_t offset, const ResourceKey& key) {
        if (uint64_t{offset} + kDataEntrySize > directory_.size()) return false;
        const uint32_t rva = Le32(directory_, offset);
        const uint32_t size = Le32(directory_, offset + 4);
        std::string_view data;
        if (size > 0 && !image_.ReadAt(rva, size, data)) return false;
        if (size > dataBudget_) return TooLarge();
        dataBudget_ -= size;
        tree_.Put(key, ResourceEntry{std::string(data), Le32(directory_, offset + 8)});
        return true;
    }

    bool TooLarge() {
        tooLarge = true;
        return false;
    }

    const PeImage& image_;
    std::string_view directory_;
    ResourceTree& tree_;
    uint64_t dataBudget_;
    size_t entriesVisited_ = 0;
    uint64_t nameBytes_ = 0;
};

size_t Align8(size_t v) { return (v + 7) & ~size_t{7}; }

}  // namespace

bool ResourceName::operator<(const ResourceName& other) const {
    if (isText != other.isText) return isText;
    return isText ? text < other.text : number < other.number;
}

std::vector<ResourceName> ResourceTree::Types() const {
    std::vector<ResourceName> result;
    for (const auto& [type, names] : types_) result.push_back(type);
    return result;
}

std::vector<ResourceName> ResourceTree::Names(const ResourceName& type) const {
    std::vector<ResourceName> result;
    auto t = types_.find(type);
    if (t != types_.end())
        for (const auto& [name, languages] : t->second) result.push_back(name);
    return result;
}

std::vector<uint16_t> ResourceTree::Languages(const ResourceName& type, const ResourceName& name) const {
    std::vector<uint16_t> result;
    auto t = types_.find(type);
    if (t == types_.end()) return result;
    auto n = t->second.find(name);
    if (n != t->second.end())
        for (const auto& [language, entry] : n->second) result.push_back(language);
    return result;
}

const ResourceEntry* ResourceTree::Find(const ResourceKey& key) const {
    auto t = types_.find(key.type);
    if (t == types_.end()) return nullptr;
    auto n = t->second.find(key.name);
    if (n == t->second.end()) return nullptr;
    auto l = n->second.find(key.language);
    return l == n->second.end() ? nullptr : &l->second;
}

const ResourceEntry* ResourceTree::FindAnyLanguage(const ResourceName& type, const ResourceName& name,
                                                   uint16_t preferred) const {
    if (const ResourceEntry* e = Find({type, name, preferred})) return e;
    if (const ResourceEntry* e = Find({type, name, 0})) return e;
    std::vector<uint16_t> languages = Languages(type, name);
    return languages.empty() ? nullptr : Find({type, name, languages.front()});
}

void ResourceTree::Put(const ResourceKey& key, ResourceEntry entry) {
    types_[key.type][key.name][key.language] = std::move(entry);
}

void ResourceTree::Remove(const ResourceKey& key) {
    auto t = types_.find(key.type);
    if (t == types_.end()) return;
    auto n = t->second.find(key.name);
    if (n == t->second.end()) return;
    n->second.erase(key.language);
    if (n->second.empty()) t->second.erase(n);
    if (t->second.empty()) types_.erase(t);
}

void ResourceTree::ForEach(const std::function<void(const ResourceKey&, const ResourceEntry&)>& visit) const {
    for (const auto& [type, names] : types_)
        for (const auto& [name, languages] : names)
            for (const auto& [language, entry] : languages) visit(ResourceKey{type, name, language}, entry);
}

bool ParseResourceTree(const PeImage& image, ResourceTree& tree, std::string* problem) {
    tree = ResourceTree();
    const uint32_t rva = image.ResourceRva();
    if (rva == 0 && image.ResourceSize() == 0) return true;
    std::string_view directory;
    bool tooLarge = false;
    if (image.SectionTail(rva, directory)) {
        DirectoryReader reader(image, directory, tree);
        ResourceKey key;
        if (reader.ReadTable(0, 0, key)) return true;
        tooLarge = reader.tooLarge;
    }
    tree = ResourceTree();
    if (problem) *problem = Tr(tooLarge ? TextId::ResourcesOverLimits : TextId::ResourcesDamaged);
    return false;
}

bool SerialiseResourceTree(const ResourceTree& tree, uint32_t sectionRva, std::string& out) {
    // First pass: where every table, data entry, string and data block goes.
    struct Table {
        size_t at;
        std::vector<ResourceName> names;  // on the language level: the languages, as numbers
    };
    std::vector<Table> tables;           // root, then one per type, then one per (type, name)
    std::vector<size_t> firstNameTable;  // per type: the index of its first name's table
    std::vector<const ResourceEntry*> leaves;

    const std::vector<ResourceName> types = tree.Types();
    tables.push_back({0, types});
    for (const ResourceName& type : types) tables.push_back({0, tree.Names(type)});
    for (const ResourceName& type : types) {
        firstNameTable.push_back(tables.size());
        for (const ResourceName& name : tree.Names(type)) {
            Table languages{0, {}};
            for (uint16_t language : tree.Languages(type, name)) {
                languages.names.push_back(ResourceName::Number(language));
                leaves.push_back(tree.Find({type, name, language}));
            }
            tables.push_back(languages);
        }
    }
    size_t cursor = 0;
    for (Table& table : tables) {
        if (table.names.size() > 0xFFFF) return false;
        table.at = cursor;
        cursor += kTableHeaderSize + kTableEntrySize * table.names.size();
    }
    const size_t dataEntries = cursor;
    cursor += kDataEntrySize * leaves.size();
    std::vector<size_t> stringAt;
    for (size_t t = 0; t <= types.size(); ++t) {
        for (const ResourceName& name : tables[t].names) {
            if (!name.isText) continue;
            if (name.text.size() > 0xFFFF) return false;
            stringAt.push_back(cursor);
            cursor += 2 + 2 * name.text.size();
        }
    }
    std::vector<size_t> dataAt;
    for (const ResourceEntry* leaf : leaves) {
        cursor = Align8(cursor);
        dataAt.push_back(cursor);
        cursor += leaf->data.size();
        if (cursor >= kHighBit) return false;
    }
    if (cursor == 0) cursor = kTableHeaderSize;  // an empty tree still has its root table

    // Second pass: write it.
    out.assign(cursor, '\0');
    size_t nextString = 0;
    size_t nextLeaf = 0;
    for (size_t t = 0; t < tables.size(); ++t) {
        const Table& table = tables[t];
        uint16_t named = 0;
        for (const ResourceName& name : table.names) named = static_cast<uint16_t>(named + name.isText);
        PutLe16(out, table.at + 12, named);
        PutLe16(out, table.at + 14, static_cast<uint16_t>(table.names.size() - named));
        for (size_t i = 0; i < table.names.size(); ++i) {
            const size_t entry = table.at + kTableHeaderSize + kTableEntrySize * i;
            const ResourceName& name = table.names[i];
            if (name.isText) {
                const size_t at = stringAt[nextString++];
                PutLe16(out, at, static_cast<uint16_t>(name.text.size()));
                for (size_t c = 0; c < name.text.size(); ++c)
                    PutLe16(out, at + 2 + 2 * c, static_cast<uint16_t>(name.text[c]));
                PutLe32(out, entry, static_cast<uint32_t>(at) | kHighBit);
            } else {
                PutLe32(out, entry, name.number);
            }
            // Children: the root's entries lead to the type tables (1..T), a type
            // table's to its name tables, a name table's to data entries.
            uint32_t child = 0;
            if (t == 0) {
                child = static_cast<uint32_t>(tables[1 + i].at) | kHighBit;
            } else if (t <= types.size()) {
                child = static_cast<uint32_t>(tables[firstNameTable[t - 1] + i].at) | kHighBit;
            } else {
                const size_t leaf = nextLeaf++;
                const size_t at = dataEntries + kDataEntrySize * leaf;
                PutLe32(out, at, sectionRva + static_cast<uint32_t>(dataAt[leaf]));
                PutLe32(out, at + 4, static_cast<uint32_t>(leaves[leaf]->data.size()));
                PutLe32(out, at + 8, leaves[leaf]->codePage);
                out.replace(dataAt[leaf], leaves[leaf]->data.size(), leaves[leaf]->data);
                child = static_cast<uint32_t>(at);
            }
            PutLe32(out, entry + 4, child);
        }
    }
    return true;
}

}  // namespace ql
