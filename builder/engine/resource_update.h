// Resource transactions on PE files, without the platform's resource functions
// so that every builder produces the same bytes: a data-only view of a file's
// resources, and an update that stages deletions and additions by exact
// (type, name, language) key and at its end rewrites the file with all of them
// or leaves it untouched.
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
    // Reads and parses the target; false (and nothing staged) when it is not a
    // PE image whose resources can be read. `problem` as for LoadResources.
    bool Begin(const std::string& path, std::string* problem = nullptr);

    // The target as it was when the update began; staged changes never show here.
    const ResourceTree& Original() const { return original_; }

    // Stage the removal of a resource (one that is not there is no error) or
    // its addition, replacing a resource under the same key. A numbered type or
    // name 0 is no valid key; staging it fails.
    bool Delete(const ResourceKey& key);
    bool Put(const ResourceKey& key, std::string_view data);

    // Ends the update. With `commit`, the file is rewritten with every staged
    // change; false when that is impossible (the resource section cannot grow
    // in place, the file cannot be written), and the file then keeps its old
    // content. Without `commit` everything staged is dropped; true.
    bool End(bool commit);

private:
    bool open_ = false;
    std::string path_;
    PeImage image_;
    ResourceTree original_;
    ResourceTree staged_;
};

}  // namespace ql
