// Resource transactions: staging on a copy of the parsed tree, committing by
// rebuilding the file around a new resource section.
#include "builder/engine/resource_update.h"

#include <algorithm>

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

bool ParseFile(const std::string& path, bool wholeFile, PeImage& image, ResourceTree& resources,
               std::string* problem) {
    std::string bytes;
    const int error = wholeFile ? platform::ReadWholeFile(path, bytes) : ReadImageBytes(path, bytes);
    if (error != 0) {
        if (problem) *problem = IoErrorText(error);
        return false;
    }
    return image.Parse(std::move(bytes)) && ParseResourceTree(image, resources, problem);
}

}  // namespace

bool LoadResources(const std::string& path, ResourceTree& resources, std::string* problem) {
    PeImage image;
    return ParseFile(path, false, image, resources, problem);
}

bool ResourceUpdate::Begin(const std::string& path, std::string* problem) {
    open_ = false;
    path_ = path;
    // The whole file: it is what a failed write restores.
    if (!ParseFile(path, true, image_, original_, problem)) return false;
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
