// The build driver: scan, stub image, resource editing, container.
#include "builder/engine/build_driver.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "builder/engine/build_errors.h"
#include "builder/engine/build_run.h"
#include "builder/engine/cancel.h"
#include "builder/engine/entry_writer.h"
#include "builder/engine/options_check.h"
#include "builder/engine/source_scan.h"
#include "builder/engine/stub_resources.h"
#include "builder/resources/texts.h"
#include "platform/file.h"
#include "platform/filesystem.h"
#include "platform/partial_file.h"
#include "platform/text.h"

namespace ql {

namespace {

std::minstd_rand& Generator() {
    static std::minstd_rand generator;
    return generator;
}

void CopyText(uint8_t* field, size_t fieldSize, const std::string& text) {
    std::memcpy(field, text.data(), std::min(text.size(), fieldSize - 1));
}

std::string UpperExtension(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t delimiter = path.find_last_of("\\/");
    if (dot == std::string::npos || (delimiter != std::string::npos && dot < delimiter)) return "";
    std::string extension = path.substr(dot);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return extension;
}

// Texts the SFX file stores, in the ANSI code page it stores them in.
std::string StoredText(const std::string& native, TextId what) {
    std::string stored;
    if (!platform::ToAnsi(native, stored))
        throw BuildError(platform::FillPattern(Tr(TextId::TextOutsideCodePage),
                                               {Tr(what), std::to_string(platform::AnsiCodePage()), native}));
    return stored;
}

// Names the format cannot hold refuse the build before the target exists,
// instead of producing an SFX file that the stub would refuse.
void CheckItemsStorable(const BuildRun& run) {
    for (const SourceItem& item : run.items) {
        if (item.nameProblem == NameProblem::None) continue;
        const std::string path = platform::ToDisplay(run.sourceTree + item.nativeName);
        if (item.nameProblem == NameProblem::NotUnicode)
            throw BuildError(platform::FillPattern(Tr(TextId::NameNotUnicode), {path}));
        if (item.nameProblem == NameProblem::TooLong)
            throw BuildError(
                platform::FillPattern(Tr(TextId::NameTooLong), {std::to_string(kMaxEntryNameLength), path}));
        throw BuildError(platform::FillPattern(Tr(TextId::NameInvalidOnWindows), {path}));
    }
}

// The target of an earlier build may stand in the source tree, perhaps reached
// through a link: the file itself is compared, not the text of its path. Only
// files of the target's size need asking who they are.
void MarkEarlierTarget(BuildRun& run) {
    const std::string& target = run.options.Target;
    const platform::FileIdentity targetId = platform::IdentityOf(target);
    uint64_t targetSize = 0;
    const bool sized = platform::FileSize(target, targetSize) == 0;
    for (SourceItem& item : run.items) {
        if (item.Attributes & kAttrDirectory) continue;
        const std::string path = run.sourceTree + item.nativeName;
        item.isTarget =
            platform::PathsEqual(path, target) || (targetId.Known() && (!sized || item.Size == targetSize) &&
                                                   platform::IdentityOf(path) == targetId);
    }
}

// What a killed build left beside the target: files named as the target with
// ".~" and an instance identifier, that no running build claims. The folder is
// listed in the tree form, whose names are UTF-8; they are compared as paths.
void RemoveLeftovers(const std::string& replaced) {
    constexpr size_t kInstanceIdDigits = config::kInstanceIdSize - 1;  // without its zero byte
    const std::string path = platform::TreePath(replaced);
    const size_t folderLength = platform::FolderPartLength(path, platform::PathDelimiter(), nullptr);
    const std::string folder = path.substr(0, folderLength);
    const std::string prefix = path + ".~";
    std::vector<platform::DirItem> items;
    if (folderLength == 0 || !platform::ListFolder(folder, items)) return;
    for (const platform::DirItem& item : items) {
        const std::string leftover = folder + item.name;
        if ((item.attributes & kAttrDirectory) || leftover.size() != prefix.size() + kInstanceIdDigits ||
            !platform::PathsEqual(leftover.substr(0, prefix.size()), prefix))
            continue;
        if (leftover.find_first_not_of("0123456789ABCDEF", prefix.size()) == std::string::npos)
            platform::RemoveLeftover(leftover);
    }
}

// The SFX file is written under a name of its own beside the target and takes
// the target's place only when it is complete: a failure, a cancel or a crash
// never leaves a broken file where a good one stood. A target that is a link
// is replaced through the link.
void CreateOutputFile(BuildRun& run, const std::string& instanceId) {
    const std::string& target = run.options.Target;
    std::string folder = target.substr(0, platform::FolderPartLength(target, platform::PathDelimiter()));
    if (target.empty()) throw BuildError(Tr(TextId::CannotCreateFolder), kErrorPathNotFound);
    if (!folder.empty()) platform::CreateFolderChain(folder);
    // A target that cannot be replaced fails now, as creating it would.
    if (int error = platform::CheckReplaceable(target)) RaiseIoError(error, target);
    run.replaced = platform::FollowFileLink(target);
    RemoveLeftovers(run.replaced);
    run.output = run.replaced + ".~" + instanceId;
    if (int error = run.target.Create(run.output)) RaiseIoError(error, target);
    platform::ClaimPartialFile(run.output);
}

// Each step does its work, finds nothing to copy (a program without an icon or
// version information: the stub keeps its own, as it always has), or fails.
// A failure ends the build saying which step failed and why, so that no step,
// the elevation manifest least of all, goes missing without a word.
void RequireStep(bool done, const std::string& problem, TextId step) {
    if (!done && !problem.empty())
        throw BuildError(platform::FillPattern(Tr(TextId::StepFailed), {Tr(step), problem}));
}

void EditStubResources(const BuildRun& run, EditedImage& stub) {
    const BuildOptions& o = run.options;
    // The icon is taken as the checks took it: without surrounding blanks.
    const std::string icon = platform::TrimText(o.Icon);
    std::string problem;
    if (!icon.empty()) {
        const bool done = UpperExtension(icon) == ".ICO" ? CopyIconFromIconFile(icon, stub, &problem)
                                                         : CopyIconFromExecutable(icon, stub, &problem, true);
        RequireStep(done, problem, TextId::CopyingIcon);
    } else if (o.ExtractionMode == kExtractAndRun) {
        RequireStep(CopyIconFromExecutable(o.ExecutableFile, stub, &problem), problem, TextId::CopyingIcon);
    }
    if (!icon.empty() && run.env.hasSwitch("iv"))
        RequireStep(CopyVersionInfo(icon, stub, &problem), problem, TextId::CopyingVersionInfo);
    else if (o.ExtractionMode == kExtractAndRun)
        RequireStep(CopyVersionInfo(o.ExecutableFile, stub, &problem), problem, TextId::CopyingVersionInfo);
    if (o.UACAutoElevation == kElevationHighest || o.UACAutoElevation == kElevationAdministrator) {
        const bool done =
            WriteElevationManifest(stub, o.UACAutoElevation, run.env.manifestTemplate, &problem);
        RequireStep(done, problem, TextId::WritingManifest);
    }
}

// The stub image with its resources edited in memory; messages of the steps
// name the target, not the new file that takes its place at the end.
std::string EditedStub(const BuildRun& run) {
    EditedImage stub{run.options.Target, std::string(run.env.stubImage)};
    if (run.env.editResources) EditStubResources(run, stub);
    return std::move(stub.bytes);
}

// The identifier's field is filled in last, once everything it hashes is written.
void WriteContentInstanceId(BuildRun& run, uint64_t containerStart) {
    FlushTarget(run);
    run.hashing = false;
    const std::string id = FormatInstanceId(run.contentHash % 0x7FFFFFFFu);
    if (int error = run.target.Seek(containerStart + config::kInstanceId))
        RaiseIoError(error, run.options.Target);
    WriteToTarget(run, id.data(), id.size());
}

// The stub image and the container behind it; `configBlock` was built before
// the target was created. A reproducible build names itself after its content:
// a hash of the edited stub and of everything behind it, with the identifier's
// own field zero. Different content gets a different identifier, as a drawn
// one would be.
void WriteSfxContent(BuildRun& run, const std::string& stub, const uint8_t* configBlock) {
    run.hashing = run.env.sourceDateEpoch.has_value();
    WriteToTarget(run, stub.data(), stub.size());
    WriteToTarget(run, configBlock, config::kSize);
    WriteEntries(run);
    const uint8_t endRecord[kEndRecordSize] = {};
    WriteToTarget(run, endRecord, sizeof endRecord);
    if (run.hashing) WriteContentInstanceId(run, stub.size());
    FlushTarget(run);
    if (int error = run.target.Close()) RaiseIoError(error, run.options.Target);
}

// From the creation of the new file to its taking the target's place; false
// after a cancel. On a failure or a cancel the new file goes (the caller
// deletes the target itself after a cancel, as the user is told).
bool WriteSfxFile(BuildRun& run, const uint8_t* configBlock, const std::string& instanceId) {
    try {
        CreateOutputFile(run, instanceId);
        WriteSfxContent(run, EditedStub(run), configBlock);
        platform::ReleasePartialFile();
        if (CancelRequested) {
            platform::DeleteFileForced(run.output);
            return false;
        }
        if (int error = platform::MoveReplacing(run.output, run.replaced))
            RaiseIoError(error, run.options.Target);
        return true;
    } catch (...) {
        run.target.Close();
        platform::ReleasePartialFile();
        if (!run.output.empty()) platform::DeleteFileForced(run.output);
        throw;
    }
}

}  // namespace

void SeedInstanceIds(uint32_t seed) { Generator().seed(seed == 0 ? 1 : seed); }

std::string FormatInstanceId(uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "%010X", number);
    return text;
}

std::string InstanceId() {
    std::uniform_int_distribution<uint32_t> range(0, 0x7FFFFFFE);
    return FormatInstanceId(range(Generator()));
}

void EncodeConfigBlock(const BuildOptions& o, const std::string& instanceId, uint8_t out[config::kSize]) {
    std::memset(out, 0, config::kSize);
    out[config::kExtractionMode] = o.ExtractionMode;
    out[config::kExtractionFolder] = o.ExtractionFolder;
    CopyText(out + config::kCmdParameters, config::kCmdParametersSize, o.CmdParameters);
    CopyText(out + config::kCustomFolder, config::kCustomFolderSize, o.CustomFolder);
    CopyText(out + config::kInstanceId, config::kInstanceIdSize, instanceId);
    out[config::kOpenFolder] = o.OpenFolder;
    out[config::kCompression] = o.Compression;
    out[config::kOneInstance] = o.OneInstance;
    out[config::kSilentMode] = o.SilentMode;
    out[config::kSelfDeleteMode] = o.SelfDeleteMode;
    out[config::kDeleteMode] = o.DeleteMode;
    out[config::kWorkingDirectory] = o.WorkingDirectory;
    out[config::kOverwriteMode] = o.OverwriteMode;
}

bool BuildSfx(const BuildOptions& given, BuildEnvironment& env) {
    CancelRequested = false;
    BuildOptions options = given;
    NormaliseOptions(options);
    BuildRun run(options, env);
    if (env.progress) {
        env.progress->ShowInitialising();
        env.progress->ShowTarget(options.Target);
        env.progress->ReportProgress(0, 0, 0, 0);
    }

    ScanSourceTree(run);
    CheckItemsStorable(run);
    MarkEarlierTarget(run);
    for (const SourceItem& item : run.items) run.totalSize += static_cast<int64_t>(item.Size);
    BuildOptions stored = options;
    stored.CmdParameters = StoredText(options.CmdParameters, TextId::Parameters);
    stored.CustomFolder = StoredText(options.CustomFolder, TextId::CustomFolder);
    // The drawn identifier also names the file being written beside the target.
    const std::string instanceId = InstanceId();
    uint8_t configBlock[config::kSize];
    EncodeConfigBlock(stored, env.sourceDateEpoch ? std::string() : instanceId, configBlock);

    if (!WriteSfxFile(run, configBlock, instanceId)) {
        platform::DeleteFileForced(options.Target);
        env.dialogs.ShowWarning(Tr(TextId::BuildCancelled));
        return false;
    }
    if (env.showMessages) env.dialogs.ShowInformation(Tr(TextId::BuildDone));
    return true;
}

}  // namespace ql
