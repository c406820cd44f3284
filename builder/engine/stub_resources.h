// Editing the resources of the stub image in memory, before it is written:
// icon, version information and elevation manifest. Each operation is one
// transaction on the target image: all staged changes are committed together,
// or the image stays as it was.
//
// Every operation keeps a success flag that only the staging of its final
// resource sets. A failing step stops the operation; what was staged is then
// committed when the flag is already true (a multi-language copy that failed
// in a later language keeps the earlier ones) and discarded otherwise.
//
// An operation that ends without success either found nothing to copy (the
// source is no executable image, or has no icon group or version information:
// the stub keeps its own, which is no failure) or failed; then `problem`
// receives why, naming the file, so that the build can say which step failed.
// Hostile files are met with budgets: at most 256 images per icon, icon files
// of at most 32 MiB whose images do not add up to more than the file holds, and
// the resource parser's own budgets (see ParseResourceTree).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/engine/resource_tree.h"

namespace ql {

class ResourceUpdate;

// An executable image edited in memory, and the file it is written to, which
// messages about it name.
struct EditedImage {
    std::string path;
    std::string bytes;
};

// An icon group resource is an icon file's 6-byte header followed by a 14-byte
// entry per image; the icon file has 16-byte entries instead. Both entries
// begin with the same 12 bytes (width to image size); the group's ends with
// the image's icon number, the file's with the image's offset.
constexpr size_t kIconFileHeaderSize = 6;
constexpr size_t kIconFileEntrySize = 16;
constexpr size_t kGroupEntrySize = 14;
constexpr size_t kSharedEntryFields = 12;
constexpr size_t kMaxIconImages = 256;  // in one icon: a budget against hostile files

// The icon numbers that a group lists; false when the group is shorter than
// its own count says.
bool IconGroupNumbers(std::string_view group, std::vector<uint16_t>& numbers);

// Icon from an .ico file: the target's first icon group and its images are
// replaced by a group of the file's images, numbered 1..n, in the target's
// version language, under the old group's name (or number 1). An icon file
// without images is refused: it would leave the SFX file without an icon.
bool CopyIconFromIconFile(const std::string& iconFile, EditedImage& target, std::string* problem = nullptr);

// Icon from another executable's first icon group, in the first of that
// group's languages, each image once (at most 32 MiB of them), with the
// source's icon numbers, under the target's old group name (or the source's
// name when the target had none). A file the user named as the icon
// (`namedAsIcon`) that is no executable image is refused; a program to run that
// is none simply has no icon to give.
bool CopyIconFromExecutable(const std::string& sourceExecutable, EditedImage& target,
                            std::string* problem = nullptr, bool namedAsIcon = false);

// Every version block of the target is replaced by every version block of the
// source, under the source's names and languages.
bool CopyVersionInfo(const std::string& sourceExecutable, EditedImage& target,
                     std::string* problem = nullptr);

// Manifest number 1 in the target's version language. kElevationHighest asks
// for highestAvailable, kElevationAdministrator writes the 420-byte template
// (requireAdministrator) unchanged; other levels write nothing (and return false).
bool WriteElevationManifest(EditedImage& target, int level, std::string_view manifestTemplate,
                            std::string* problem = nullptr);

// Writes one resource in the target's version language; true when committed.
bool WriteResource(EditedImage& target, const ResourceName& type, const ResourceName& name,
                   std::string_view data, std::string* problem = nullptr);

// Stages the removal of the first icon group of the update's target and of the
// images it lists, in every language of the group. `kept` receives the group's
// name, or nothing when the target has no icon group. False on a step that
// fails (a group too short for its own count, an icon number 0).
bool RemoveFirstIconGroup(ResourceUpdate& update, std::optional<ResourceName>& kept);

// The language of the first entry of the file's version translation table, or 0.
uint16_t VersionLanguage(const std::string& file);

}  // namespace ql
