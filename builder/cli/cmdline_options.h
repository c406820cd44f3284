// The switch table and positional parameters mapped to build options.
#pragma once

#include "builder/cli/cmdline_helper.h"
#include "builder/engine/build_options.h"

namespace ql {

struct CommandLineOptions {
    BuildOptions build;               // Compression is always true
    bool OverwriteTarget = false;     // -o
    bool ShowMessages = true;         // cleared by -c
    bool Headless = false;            // -h
    bool ParametersComplete = false;  // every required positional parameter is there
    int RequiredCount = 2;
};

CommandLineOptions ReadCommandLineOptions(const CmdLineHelper& commandLine);

}  // namespace ql
