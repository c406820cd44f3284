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

// The smallest size that the classic entry's signed 32-bit size cannot hold.
constexpr uint64_t kExtendedSize = 0x80000000ull;

// The folder being listed, relative to the source; each path ends with its delimiter or is empty.
struct FolderPath {
    std::string native;      // UTF-8 with native delimiters
    std::string utf8;        // as an extended entry stores it, with backslashes
    std::string ansi;        // as a classic entry stores it, where `inCodePage`
    bool inCodePage = true;  // the whole path converts to the code page
};

struct ScanState {
    BuildRun& run;
    FolderPath folder;
    std::vector<platform::FileIdentity> ancestorIds;  // folders being listed, to stop at links that loop
};

// One name as either kind of entry would store it.
struct NameForms {
    std::string ansi;  // in the code page, where `inCodePage`
    bool inCodePage = false;
};

// A name Windows cannot use as it stands (a device, a trailing dot, a
// character it forbids) could not be extracted by the stub, and on Windows
// itself such a file (reached through the long-path form) would be read as the
// device it names. A backslash is a character of a POSIX name, not a
// separator; a Windows name, listed as UTF-8, holds none. The rule holds for the UTF-8 form, which an
// extended entry below may store, and for the code page's, where that converts.
NameProblem CheckName(const platform::DirItem& entry, NameForms& forms) {
    const std::string& name = entry.name;
    if (entry.nameLost || !IsWellFormedUtf8(reinterpret_cast<const uint8_t*>(name.data()), name.size()))
        return NameProblem::NotUnicode;
    const bool posixBackslash = platform::PathDelimiter() != '\\' && name.find('\\') != std::string::npos;
    if (posixBackslash || !IsSafeUtf8EntryName(name.data(), name.size()))
        return NameProblem::InvalidOnWindows;
    forms.inCodePage = platform::Utf8ToAnsi(name, forms.ansi);
    if (forms.inCodePage &&
        !IsSafeEntryName(forms.ansi.data(), forms.ansi.size(), platform::AnsiNameEncoding()))
        return NameProblem::InvalidOnWindows;
    return NameProblem::None;
}

// The classic entry wherever it can hold the item, unless portable names are asked for.
void ChooseForm(const ScanState& state, const platform::DirItem& entry, const NameForms& forms,
                SourceItem& item) {
    const FolderPath& folder = state.folder;
    item.extended = state.run.options.PortableNames || !folder.inCodePage || !forms.inCodePage ||
                    item.Size >= kExtendedSize;
    item.storedName = item.extended ? folder.utf8 + entry.name : folder.ansi + forms.ansi;
    if (item.storedName.size() > static_cast<size_t>(kMaxEntryNameLength))
        item.nameProblem = NameProblem::TooLong;
}

void ScanFolder(ScanState& state) {
    std::vector<platform::DirItem> listing;
    if (!platform::ListFolder(state.run.sourceTree + state.folder.native, listing)) return;
    for (const auto& entry : listing) {
        if (entry.attributes & kAttrVolumeLabel) continue;
        SourceItem item;
        NameForms forms;
        item.nameProblem = CheckName(entry, forms);
        item.nativeName = state.folder.native + entry.name;
        const auto& epoch = state.run.env.sourceDateEpoch;
        item.FileTime = epoch ? platform::DosDateTimeUtc(std::min(entry.writeTime, *epoch)) : entry.dosTime;
        item.Attributes = entry.attributes;
        bool isFolder = (entry.attributes & kAttrDirectory) != 0;
        item.Size = isFolder ? 0 : entry.size;
        if (item.nameProblem == NameProblem::None) ChooseForm(state, entry, forms, item);
        state.run.items.push_back(item);
        // A name that cannot be stored refuses the build; what lies below it does not matter.
        if (!isFolder || item.nameProblem != NameProblem::None) continue;

        auto& ids = state.ancestorIds;
        if (entry.folderId.Known() && std::find(ids.begin(), ids.end(), entry.folderId) != ids.end())
            continue;  // a link back into its own ancestry: listed, not followed
        const FolderPath parent = state.folder;
        state.folder.native += entry.name + platform::PathDelimiter();
        state.folder.utf8 += entry.name + '\\';
        state.folder.inCodePage = parent.inCodePage && forms.inCodePage;
        if (state.folder.inCodePage) state.folder.ansi += forms.ansi + '\\';
        ids.push_back(entry.folderId);
        ScanFolder(state);
        ids.pop_back();
        state.folder = parent;
    }
}

}  // namespace

void ScanSourceTree(BuildRun& run) {
    ScanState state{run, {}, {}};
    const platform::FileIdentity rootId = platform::IdentityOf(run.sourceTree);
    if (rootId.Known()) state.ancestorIds.push_back(rootId);
    ScanFolder(state);
}

}  // namespace ql
