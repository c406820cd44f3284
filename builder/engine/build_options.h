// The values of one build, named as the builder's stored settings.
#pragma once

#include <cstdint>
#include <string>

#include "shared/container.h"

namespace ql {

struct BuildOptions {
    std::string Source;          // source folder
    std::string Target;          // SFX file to write
    std::string Icon;            // custom icon (.ico or executable), or empty
    std::string ExecutableFile;  // program to run after extraction
    std::string CmdParameters;   // its parameters
    std::string CustomFolder;    // custom extraction folder, may hold %VARIABLES%
    // The choices hold the numbers of shared/container.h's enumerations.
    uint8_t ExtractionMode = kExtractOnly;
    uint8_t ExtractionFolder = kFolderTemp;
    bool OpenFolder = false;
    bool Compression = true;
    bool OneInstance = false;
    bool SilentMode = false;
    bool SelfDeleteMode = false;
    uint8_t DeleteMode = kDeleteAfterRun;
    uint8_t WorkingDirectory = kWorkInExtractionFolder;  // a WorkingFolder
    uint8_t UACAutoElevation = kElevationNone;           // an Elevation
    uint8_t OverwriteMode = kOverwriteAsk;
    // Every entry extended, its name in UTF-8, so that the names come out the
    // same whatever the code page of the system that extracts.
    bool PortableNames = false;
};

}  // namespace ql
