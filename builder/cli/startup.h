// The builder's start-up: embedded resources, command line, headless build.
#pragma once

#include <string>

#include "builder/cli/cmdline_helper.h"
#include "builder/cli/cmdline_options.h"
#include "builder/engine/build_environment.h"
#include "builder/engine/dialog_host.h"

namespace ql {

// What differs between the Windows and the Linux builder at start-up.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    virtual DialogHost& Dialogs() = 0;
    // The report of a failure inside a headless build, titled "程序错误".
    virtual void ShowFatalError(const std::string& message) = 0;
    // A start without -h. Returns the exit status.
    virtual int RunInteractive(const CommandLineOptions& options, BuildEnvironment& env,
                               std::string_view helpText) = 0;
};

// Runs the builder from start to end and returns the process exit status.
int RunBuilder(StartupHost& host, const CmdLineHelper& commandLine);

// ValidateOptions, then BuildSfx. 0 when the SFX file was written; 1 when the
// options were refused, the user declined, the build was cancelled or failed
// (a failure is shown through ShowFatalError).
int RunCommandLineBuild(StartupHost& host, const CommandLineOptions& options, BuildEnvironment& env);

}  // namespace ql
