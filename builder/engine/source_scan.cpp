// The depth-first scan of the source tree.
#include "builder/engine/source_scan.h"

#include <algorithm>

#include "platform/dos_time.h"
#include "platform/filesystem.h"
#include "platform/text.h"
#include "shared/container.h"
#include "shared/entry_name.h"

namespace ql {

namespace {

struct ScanState {
    BuildRun& run;
    std::string nativePath;            // relative folder (UTF-8), ends with the delimiter or empty
    std::string storedPath;            // the same in stored form
    std::vector<platform::FileIdentity> ancestorIds;  // folders being listed, to stop at links that loop
};

// A name Windows cannot use as it stands (a device, a trailing dot, a
// character it forbids) could not be extracted by the stub, and on Windows
// itself such a file (reached through the long-path form) would be read as the
// device it names. A backslash is a character of a POSIX name, not a separator
// (on Windows the byte 0x5C of a name is the trail byte of a character).
NameProblem StoredName(const platform::DirItem& entry, std::string& stored) {
    const std::string& name = entry.name;
    if (entry.nameLost || !platform::Utf8ToAnsi(name, stored)) return NameProblem::CodePage;
    const bool posixBackslash = platform::PathDelimiter() != '\\' && name.find('\\') != std::string::npos;
    if (posixBackslash ||
        !IsSafeEntryName(stored.data(), stored.size(), platform::AnsiNameEncoding()))
        return NameProblem::InvalidOnWindows;
    return NameProblem::None;
}

void ScanFolder(ScanState& state) {
    std::vector<platform::DirItem> listing;
    if (!platform::ListFolder(state.run.sourceTree + state.nativePath, listing)) return;
    for (const auto& entry : listing) {
        if (entry.attributes & kAttrVolumeLabel) continue;
        SourceItem item;
        std::string stored;
        item.nameProblem = StoredName(entry, stored);
        item.nativeName = state.nativePath + entry.name;
        item.storedName = state.storedPath + stored;
        const auto& epoch = state.run.env.sourceDateEpoch;
        item.FileTime = epoch ? platform::DosDateTimeUtc(std::min(entry.writeTime, *epoch)) : entry.dosTime;
        item.Attributes = entry.attributes;
        bool isFolder = (entry.attributes & kAttrDirectory) != 0;
        item.fullSize = isFolder ? 0 : entry.size;
        item.Size = static_cast<int32_t>(static_cast<uint32_t>(item.fullSize));
        state.run.items.push_back(item);
        // A name that cannot be stored refuses the build; what lies below it does not matter.
        if (!isFolder || item.nameProblem != NameProblem::None) continue;

        auto& ids = state.ancestorIds;
        if (entry.folderId.Known() && std::find(ids.begin(), ids.end(), entry.folderId) != ids.end())
            continue;  // a link back into its own ancestry: listed, not followed
        size_t nativeLength = state.nativePath.size(), storedLength = state.storedPath.size();
        state.nativePath += entry.name + platform::PathDelimiter();
        state.storedPath += stored + '\\';
        ids.push_back(entry.folderId);
        ScanFolder(state);
        ids.pop_back();
        state.nativePath.resize(nativeLength);
        state.storedPath.resize(storedLength);
    }
}

}  // namespace

void ScanSourceTree(BuildRun& run) {
    ScanState state{run, "", "", {}};
    const platform::FileIdentity rootId = platform::IdentityOf(run.sourceTree);
    if (rootId.Known()) state.ancestorIds.push_back(rootId);
    ScanFolder(state);
}

}  // namespace ql
