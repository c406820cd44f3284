// Resource transactions on PE images, without the platform's resource
// functions so that every builder produces the same bytes: a data-only view of
// a file's resources, and an update of an image in memory that stages
// deletions and additions by exact (type, name, language) key and at its end
// rebuilds the image with all of them or leaves it untouched.
#pragma once

#include <string>
#include <string_view>

#include "builder/engine/pe_image.h"
#include "builder/engine/resource_tree.h"

namespace ql {

// The resources of an executable as they are on disk; false when the file
// cannot be read, is not a PE image, or has a resource directory that is
// damaged or beyond the parser's budgets. `problem` then receives, in words
// for the user, why the file could not be read or its resources not be used;
// it stays empty for a file that is no PE image at all.
bool LoadResources(const std::string& path, ResourceTree& resources, std::string* problem = nullptr);

class ResourceUpdate {
public:
    // Parses `image`, which a commit replaces; false (and nothing staged) when
    // it is not a PE image whose resources can be read. `problem` as for
    // LoadResources.
    bool Begin(std::string& image, std::string* problem = nullptr);

    // The target as it was when the update began; staged changes never show here.
    const ResourceTree& Original() const { return original_; }

    // Stage the removal of a resource (one that is not there is no error) or
    // its addition, replacing a resource under the same key. A numbered type or
    // name 0 is no valid key; staging it fails.
    bool Delete(const ResourceKey& key);
    bool Put(const ResourceKey& key, std::string_view data);

    // Ends the update. With `commit`, the image is rebuilt with every staged
    // change; false when that is impossible (the resource section cannot grow
    // in place), and the image then stays as it was. Without `commit`
    // everything staged is dropped; true.
    bool End(bool commit);

private:
    std::string* target_ = nullptr;  // while the update is open
    PeImage image_;
    ResourceTree original_;
    ResourceTree staged_;
};

}  // namespace ql
