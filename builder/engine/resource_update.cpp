// Resource transactions: staging on a copy of the parsed tree, committing by
// rebuilding the image around a new resource section.
#include "builder/engine/resource_update.h"

#include <algorithm>
#include <utility>

#include "builder/engine/build_errors.h"
#include "platform/file.h"

namespace ql {

namespace {

bool ValidKey(const ResourceKey& key) {
    return (key.type.isText || key.type.number != 0) && (key.name.isText || key.name.number != 0);
}

// Reads the file up to the end of its image, leaving out anything appended
// behind it: an icon may come from an installer that carries hundreds of
// megabytes of payload there.
int ReadImageBytes(const std::string& path, std::string& bytes) {
    platform::File file;
    uint64_t total = 0;
    if (int error = file.OpenRead(path)) return error;
    if (int error = file.Size(total)) return error;
    bytes.clear();
    uint64_t wanted = 4096;
    // Each round learns more of the headers; a few are enough for any layout.
    for (int round = 0; round < 6 && wanted > bytes.size() && bytes.size() < total; ++round) {
        const size_t have = bytes.size();
        const size_t more = static_cast<size_t>(std::min(wanted, total) - have);
        bytes.resize(have + more);
        size_t got = 0;
        if (int error = file.Read(bytes.data() + have, more, got)) return error;
        bytes.resize(have + got);
        if (got < more) break;
        wanted = PeImage::BytesNeeded(bytes);
        if (wanted == 0) break;
    }
    return 0;
}

}  // namespace

bool LoadResources(const std::string& path, ResourceTree& resources, std::string* problem) {
    std::string bytes;
    if (const int error = ReadImageBytes(path, bytes)) {
        if (problem) *problem = IoErrorText(error);
        return false;
    }
    PeImage image;
    return image.Parse(std::move(bytes)) && ParseResourceTree(image, resources, problem);
}

bool ResourceUpdate::Begin(std::string& image, std::string* problem) {
    target_ = nullptr;
    if (!image_.Parse(image) || !ParseResourceTree(image_, original_, problem)) return false;
    staged_ = original_;
    target_ = &image;
    return true;
}

bool ResourceUpdate::Delete(const ResourceKey& key) {
    if (!target_ || !ValidKey(key)) return false;
    staged_.Remove(key);
    return true;
}

bool ResourceUpdate::Put(const ResourceKey& key, std::string_view data) {
    if (!target_ || !ValidKey(key)) return false;
    staged_.Put(key, ResourceEntry{std::string(data), 0});
    return true;
}

bool ResourceUpdate::End(bool commit) {
    std::string* target = std::exchange(target_, nullptr);
    if (!target) return false;
    if (!commit) return true;
    ResourcePlacement placement;
    std::string section;
    std::string rebuilt;
    if (!image_.PlaceResources(placement) || !SerialiseResourceTree(staged_, placement.rva, section) ||
        !image_.Rebuild(placement, section, rebuilt))
        return false;
    *target = std::move(rebuilt);
    return true;
}

}  // namespace ql
