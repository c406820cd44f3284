// The values of one build, named as the builder's stored settings.
#pragma once

#include <cstdint>
#include <string>

namespace ql {

struct BuildOptions {
    std::string Source;          // source folder
    std::string Target;          // SFX file to write
    std::string Icon;            // custom icon (.ico or executable), or empty
    std::string ExecutableFile;  // program to run after extraction
    std::string CmdParameters;   // its parameters
    std::string CustomFolder;    // custom extraction folder, may hold %VARIABLES%
    uint8_t ExtractionMode = 0;    // 0 extract only, 1 extract and run
    uint8_t ExtractionFolder = 0;  // 0 temp, 1 desktop, 2 documents, 3 current, 4 ask, 5 custom
    bool OpenFolder = false;
    bool Compression = true;
    bool OneInstance = false;
    bool SilentMode = false;
    bool SelfDeleteMode = false;
    uint8_t DeleteMode = 0;        // 0 after the run, 1 at restart, 2 never
    uint8_t WorkingDirectory = 0;  // 0 extraction folder, 1 SFX folder, 2 current
    uint8_t UACAutoElevation = 0;  // 0 none, 1 highest available, 2 administrator
    uint8_t OverwriteMode = 0;     // 0 ask, 1 overwrite, 2 skip
};

}  // namespace ql
