// Helpers of the resource-editing tests: fixture copies, icon files made in the
// test, and the canonical resource listing, once from the portable reader and
// once from Windows' resource functions under Wine.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "builder/engine/resource_tree.h"
#include "builder/engine/resource_update.h"
#include "builder/engine/stub_resources.h"
#include "tests/support/temp_tree.h"

namespace ql::test {

// A test with a folder of its own for the files it writes.
class ResourceFilesTest : public ::testing::Test {
protected:
    // Writes `content` as `name` in the folder; returns its path.
    std::string Write(const std::string& name, const std::string& content) {
        WriteFile(dir / name, content);
        return dir / name;
    }
    TempDir dir;
};

// The file at `path` as an image for the operations, written back when this goes if they changed it.
struct OnDisk {
    explicit OnDisk(const std::string& path) : image{path, ReadFile(path)}, before(image.bytes) {}
    ~OnDisk() {
        if (image.bytes != before) WriteFile(image.path, image.bytes);
    }
    operator EditedImage&() { return image; }
    EditedImage image;
    const std::string before;
};

// An update of the file at `path`, which a successful End(true) rewrites.
struct FileUpdate : ResourceUpdate {
    bool Begin(const std::string& path) { return ResourceUpdate::Begin(file.emplace(path).image.bytes); }
    bool End(bool commit) {
        const bool done = ResourceUpdate::End(commit);
        file.reset();  // writes what a commit changed
        return done;
    }
    std::optional<OnDisk> file;
};

// Puts the resources into the file at `path` in one committed update; false when a step fails.
inline bool PutResources(const std::string& path,
                         const std::vector<std::pair<ResourceKey, std::string>>& all) {
    FileUpdate update;
    bool done = update.Begin(path);
    for (const auto& [key, data] : all) done = done && update.Put(key, data);
    return update.End(done) && done;
}

std::string FixturePath(const std::string& name);

// A writable copy of fixture `name` (or of any file given by full path) in `dir`.
std::string CopyFixture(const TempDir& dir, const std::string& name);

// The resources of a file; an empty tree (and a test failure) when unreadable.
ResourceTree Resources(const std::string& path);

ResourceName Text(const char* text);
ResourceName Num(uint16_t number);

// A size x size 32-bit icon image (header, colour pixels, mask).
std::string IconImage(int size, int seed);
// An .ico file holding the given (size, seed) images.
std::string IconFile(const std::vector<std::pair<int, int>>& images);

// The listing that resprobe prints, computed from the portable reader.
std::string NativeListing(const std::string& path);
// resprobe's own output under Wine.
std::string WineListing(const std::string& path);
// resprobe --icon: the icon Windows picks from the first group, e.g. "icon 2 32x32".
std::string WineIcon(const std::string& path);

// The independent cross-check: Windows reads back exactly what the portable
// reader sees.
#define EXPECT_WINE_AGREES(path) EXPECT_EQ(::ql::test::WineListing(path), ::ql::test::NativeListing(path))

// The group entries' icon numbers.
std::vector<uint16_t> GroupNumbers(const std::string& group);

}  // namespace ql::test
