// The state of one BuildSfx run, shared by the driver, the scan and the entry writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder/engine/build_environment.h"
#include "builder/engine/build_options.h"
#include "platform/file.h"
#include "platform/filesystem.h"

namespace ql {

// Why a name cannot go into an SFX file.
enum class NameProblem { None, NotUnicode, InvalidOnWindows, TooLong };

// One file or folder of the source tree, as its container entry needs it.
struct SourceItem {
    std::string nativeName;  // relative to Source, UTF-8, native delimiters: opens the file below sourceTree
    // The entry's name, with backslashes: in the ANSI code page, or UTF-8 in an extended entry.
    std::string storedName;
    bool extended = false;  // an extended entry: a name outside the code page, 2 GiB or more, or -pn
    uint32_t FileTime = 0;  // MS-DOS date and time, local time
    uint64_t Size = 0;      // 0 for a folder
    uint32_t Attributes = 0;
    NameProblem nameProblem = NameProblem::None;
    bool isTarget = false;  // the target of an earlier build: never packed into the new one
};

struct BuildRun {
    BuildRun(const BuildOptions& normalised, BuildEnvironment& environment)
        : options(normalised), env(environment), sourceTree(platform::TreePath(normalised.Source)) {}

    const BuildOptions& options;
    BuildEnvironment& env;
    const std::string sourceTree;  // options.Source as a platform::TreePath, for the items' names
    std::vector<SourceItem> items;
    int64_t totalSize = 0;
    int64_t doneSize = 0;
    std::string replaced;   // the target with a link followed: the file that `output` replaces
    std::string output;     // the file being written: beside the target, which it replaces when complete
    platform::File target;  // `output`, open for writing
    std::vector<uint8_t> pending;  // small records not yet written to `target`
    bool hashing = false;          // a reproducible build: keep the content hash
    uint32_t contentHash = 0;      // CRC-32 of what was written while hashing
};

}  // namespace ql
