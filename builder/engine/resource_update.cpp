// Resource transactions: staging on a copy of the parsed tree, committing by
// rebuilding the file around a new resource section.
#include "builder/engine/resource_update.h"

#include "platform/file.h"

namespace ql {

namespace {

bool ValidKey(const ResourceKey& key) {
    return (key.type.isText || key.type.number != 0) && (key.name.isText || key.name.number != 0);
}

bool ParseFile(const std::string& path, PeImage& image, ResourceTree& resources) {
    std::string bytes;
    if (platform::ReadWholeFile(path, bytes) != 0) return false;
    return image.Parse(std::move(bytes)) && ParseResourceTree(image, resources);
}

}  // namespace

bool LoadResources(const std::string& path, ResourceTree& resources) {
    PeImage image;
    return ParseFile(path, image, resources);
}

bool ResourceUpdate::Begin(const std::string& path) {
    open_ = false;
    path_ = path;
    if (!ParseFile(path, image_, original_)) return false;
    staged_ = original_;
    open_ = true;
    return true;
}

bool ResourceUpdate::Delete(const ResourceKey& key) {
    if (!open_ || !ValidKey(key)) return false;
    staged_.Remove(key);
    return true;
}

bool ResourceUpdate::Put(const ResourceKey& key, std::string_view data) {
    if (!open_ || !ValidKey(key)) return false;
    staged_.Put(key, ResourceEntry{std::string(data), 0});
    return true;
}

bool ResourceUpdate::End(bool commit) {
    if (!open_) return false;
    open_ = false;
    if (!commit) return true;
    ResourcePlacement placement;
    std::string section;
    std::string file;
    if (!image_.PlaceResources(placement) || !SerialiseResourceTree(staged_, placement.rva, section) ||
        !image_.Rebuild(placement, section, file))
        return false;
    if (platform::WriteWholeFile(path_, file) == 0) return true;
    // A write that failed half-way would leave a broken stub behind; put the
    // old content back (best effort, the file was just writable).
    platform::WriteWholeFile(path_, image_.Bytes());
    return false;
}

}  // namespace ql
