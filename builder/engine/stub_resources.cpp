// The stub's resource operations on top of the portable resource transaction.
// Reads of the target go to the update's view of the file as it was before
// the operation, never to what it has staged.
#include "builder/engine/stub_resources.h"

#include <exception>
#include <functional>
#include <set>
#include <vector>

#include "builder/engine/build_errors.h"
#include "builder/engine/byte_fields.h"
#include "builder/engine/resource_update.h"
#include "builder/engine/version_info.h"
#include "builder/resources/texts.h"
#include "platform/file.h"
#include "platform/text.h"

namespace ql {

namespace {

constexpr uint64_t kMaxIconFileSize = 32 << 20;

// A problem of one file, for the build's message.
std::string About(const std::string& file, const std::string& what) {
    return platform::ToDisplay(file) + "\r\n" + what;
}

// The transaction frame: `body` stages and sets the flag, returning early at a
// failing step with why (or with nothing when there was simply nothing to
// copy); then the update commits when the flag is true and discards otherwise.
bool RunTransaction(EditedImage& target, std::string* problem,
                    const std::function<std::string(ResourceUpdate&, bool&)>& body) {
    std::string why;
    bool done = false;
    try {
        ResourceUpdate update;
        std::string unusable;
        if (!update.Begin(target.bytes, &unusable)) {
            why = About(target.path, unusable.empty() ? Tr(TextId::NotAnExecutable) : unusable);
        } else {
            bool flag = false;
            try {
                why = body(update, flag);
            } catch (const std::exception&) {
                // An allocation on a huge input is one more failing step.
                why = About(target.path, Tr(TextId::OutOfMemory));
            }
            done = update.End(flag) && flag;
            if (flag && !done) why = About(target.path, Tr(TextId::CannotWriteResources));
        }
    } catch (const std::exception&) {
        why = About(target.path, Tr(TextId::OutOfMemory));
    }
    if (!done && problem) *problem = why;
    return done;
}

// Stages the removal of the target's first icon group, as RemoveFirstIconGroup
// does; why it cannot, or nothing.
std::string RemoveTargetIcon(ResourceUpdate& update, const EditedImage& target,
                             std::optional<ResourceName>& kept) {
    return RemoveFirstIconGroup(update, kept) ? std::string()
                                              : About(target.path, Tr(TextId::IconGroupDamaged));
}

// The resources of the executable to copy from, into `source`; why they
// cannot be used, or nothing. A file that is no executable image leaves
// `source` empty without a word (there is simply nothing to copy) unless
// `required`.
std::string LoadSource(const std::string& sourceExecutable, ResourceTree& source, bool required = false) {
    std::string unusable;
    if (LoadResources(sourceExecutable, source, &unusable)) return {};
    source = ResourceTree();
    if (!unusable.empty()) return About(sourceExecutable, unusable);
    return required ? About(sourceExecutable, Tr(TextId::NeitherIconNorExecutable)) : std::string();
}

}  // namespace

bool IconGroupNumbers(std::string_view group, std::vector<uint16_t>& numbers) {
    numbers.clear();
    if (group.size() < kIconFileHeaderSize) return false;
    const size_t count = Le16(group, 4);
    if (group.size() < kIconFileHeaderSize + kGroupEntrySize * count) return false;
    for (size_t i = 0; i < count; ++i)
        numbers.push_back(Le16(group, kIconFileHeaderSize + kGroupEntrySize * i + kSharedEntryFields));
    return true;
}

bool RemoveFirstIconGroup(ResourceUpdate& update, std::optional<ResourceName>& kept) {
    const ResourceTree& target = update.Original();
    kept.reset();
    const std::vector<ResourceName> names = target.Names(rt::kGroupIcon);
    if (names.empty()) return true;
    kept = names.front();
    for (uint16_t language : target.Languages(rt::kGroupIcon, *kept)) {
        const ResourceEntry* group = target.Find({rt::kGroupIcon, *kept, language});
        std::vector<uint16_t> numbers;
        if (group == nullptr || !IconGroupNumbers(group->data, numbers)) return false;
        for (uint16_t number : numbers)
            if (!update.Delete({rt::kIcon, ResourceName::Number(number), language})) return false;
        if (!update.Delete({rt::kGroupIcon, *kept, language})) return false;
    }
    return true;
}

bool CopyIconFromExecutable(const std::string& sourceExecutable, EditedImage& target, std::string* problem,
                            bool namedAsIcon) {
    return RunTransaction(target, problem, [&](ResourceUpdate& update, bool& flag) {
        std::optional<ResourceName> kept;
        if (std::string why = RemoveTargetIcon(update, target, kept); !why.empty()) return why;
        ResourceTree source;
        if (std::string why = LoadSource(sourceExecutable, source, namedAsIcon); !why.empty()) return why;
        const std::vector<ResourceName> groups = source.Names(rt::kGroupIcon);
        if (groups.empty()) return std::string();
        const ResourceName& sourceName = groups.front();
        // One language of the group, each image once: a group repeated in many
        // languages over the same images must not copy them once per language.
        const std::vector<uint16_t> languages = source.Languages(rt::kGroupIcon, sourceName);
        if (languages.empty()) return std::string();
        const uint16_t language = languages.front();
        const ResourceEntry* group = source.Find({rt::kGroupIcon, sourceName, language});
        std::vector<uint16_t> numbers;
        if (group == nullptr || !IconGroupNumbers(group->data, numbers))
            return About(sourceExecutable, Tr(TextId::IconGroupDamaged));
        if (numbers.size() > kMaxIconImages) return About(sourceExecutable, Tr(TextId::IconTooManyImages));
        std::set<uint16_t> copied;
        uint64_t imageBytes = 0;
        for (uint16_t number : numbers) {
            if (!copied.insert(number).second) continue;
            // The image is looked up by number alone: the group's own
            // language when the source has it, else neutral, else the lowest.
            const ResourceName icon = ResourceName::Number(number);
            const ResourceEntry* image =
                number == 0 ? nullptr : source.FindAnyLanguage(rt::kIcon, icon, language);
            if (image == nullptr) return About(sourceExecutable, Tr(TextId::IconGroupListsMissingImage));
            imageBytes += image->data.size();
            if (imageBytes > kMaxIconFileSize) return About(sourceExecutable, Tr(TextId::IconImagesTooLarge));
            if (!update.Put({rt::kIcon, icon, language}, image->data))
                return About(sourceExecutable, Tr(TextId::IconGroupListsMissingImage));
        }
        flag = update.Put({rt::kGroupIcon, kept ? *kept : sourceName, language}, group->data);
        return std::string();
    });
}

bool CopyIconFromIconFile(const std::string& iconFile, EditedImage& target, std::string* problem) {
    return RunTransaction(target, problem, [&](ResourceUpdate& update, bool& flag) {
        std::optional<ResourceName> kept;
        if (std::string why = RemoveTargetIcon(update, target, kept); !why.empty()) return why;
        std::string file;
        if (int error = platform::ReadWholeFile(iconFile, file, kMaxIconFileSize))
            return About(iconFile,
                         error == kErrorFileTooLarge ? Tr(TextId::IconFileTooLarge) : IoErrorText(error));
        if (file.size() < kIconFileHeaderSize) return About(iconFile, Tr(TextId::IconFileDamaged));
        const size_t count = Le16(file, 4);
        if (count == 0) return About(iconFile, Tr(TextId::IconFileWithoutImages));
        if (count > kMaxIconImages) return About(iconFile, Tr(TextId::IconTooManyImages));
        if (file.size() < kIconFileHeaderSize + kIconFileEntrySize * count)
            return About(iconFile, Tr(TextId::IconFileDamaged));
        // The header's reserved and type fields are taken over as they stand.
        std::string group = file.substr(0, kIconFileHeaderSize);
        group.resize(kIconFileHeaderSize + kGroupEntrySize * count, '\0');
        const uint16_t language = VersionLanguageOf(update.Original());
        uint64_t imageBytes = 0;
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = kIconFileHeaderSize + kIconFileEntrySize * i;
            const size_t at = kIconFileHeaderSize + kGroupEntrySize * i;
            const uint16_t number = static_cast<uint16_t>(i + 1);
            group.replace(at, kSharedEntryFields, file, entry, kSharedEntryFields);
            PutLe16(group, at + kSharedEntryFields, number);
            // A truncated file or an entry pointing past its end is refused
            // here, as is an image of no bytes. Images that add up to more
            // than the file holds share bytes: a small file would otherwise
            // grow the SFX file by its size for every entry.
            const uint64_t size = Le32(file, entry + 8);
            const uint64_t offset = Le32(file, entry + 12);
            if (size == 0 || offset + size > file.size()) return About(iconFile, Tr(TextId::IconFileDamaged));
            imageBytes += size;
            if (imageBytes > file.size()) return About(iconFile, Tr(TextId::IconFileImagesOverlap));
            const std::string_view image = std::string_view(file).substr(offset, size);
            if (!update.Put({rt::kIcon, ResourceName::Number(number), language}, image))
                return About(iconFile, Tr(TextId::IconFileDamaged));
        }
        flag = update.Put({rt::kGroupIcon, kept ? *kept : ResourceName::Number(1), language}, group);
        return std::string();
    });
}

bool CopyVersionInfo(const std::string& sourceExecutable, EditedImage& target, std::string* problem) {
    return RunTransaction(target, problem, [&](ResourceUpdate& update, bool& flag) {
        const ResourceTree& current = update.Original();
        for (const ResourceName& name : current.Names(rt::kVersion))
            for (uint16_t language : current.Languages(rt::kVersion, name))
                if (!update.Delete({rt::kVersion, name, language}))
                    return About(target.path, Tr(TextId::VersionInfoDamaged));
        ResourceTree source;
        if (std::string why = LoadSource(sourceExecutable, source); !why.empty()) return why;
        for (const ResourceName& name : source.Names(rt::kVersion)) {
            for (uint16_t language : source.Languages(rt::kVersion, name)) {
                const ResourceEntry* block = source.Find({rt::kVersion, name, language});
                if (block == nullptr) return About(sourceExecutable, Tr(TextId::VersionInfoDamaged));
                flag = update.Put({rt::kVersion, name, language}, block->data);
            }
        }
        return std::string();
    });
}

bool WriteResource(EditedImage& target, const ResourceName& type, const ResourceName& name,
                   std::string_view data, std::string* problem) {
    return RunTransaction(target, problem, [&](ResourceUpdate& update, bool& flag) {
        flag = update.Put({type, name, VersionLanguageOf(update.Original())}, data);
        return flag ? std::string() : About(target.path, Tr(TextId::InvalidResourceName));
    });
}

bool WriteElevationManifest(EditedImage& target, int level, std::string_view manifestTemplate,
                            std::string* problem) {
    if (level != kElevationHighest && level != kElevationAdministrator) return false;
    std::string text(manifestTemplate);
    if (level == kElevationHighest) {
        const std::string_view from = "requireAdministrator";
        const size_t at = text.find(from);
        if (at != std::string::npos) text.replace(at, from.size(), "highestAvailable");
    }
    return WriteResource(target, rt::kManifest, ResourceName::Number(1), text, problem);
}

uint16_t VersionLanguage(const std::string& file) {
    try {
        ResourceTree resources;
        return LoadResources(file, resources) ? VersionLanguageOf(resources) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace ql
