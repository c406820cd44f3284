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
    // The value of a setting (QUILLON_THREADS and the like), or null when it is
    // not set: the environment variable of that name, unless the host has its own.
    virtual const char* Setting(const char* name);
    // Where a build without the desktop interface shows its progress; none
    // unless the host has its own.
    virtual ProgressSink* Progress() { return nullptr; }
};

// Reads the settings of how a build packs: QUILLON_THREADS (1 to 256 packing
// threads), QUILLON_LEVEL (0 to 12) and SOURCE_DATE_EPOCH (seconds since 1970,
// for a reproducible build). False, with the message, for a malformed value;
// the settings read before it may then be taken already.
bool ReadPackingSettings(StartupHost& host, BuildEnvironment& env, std::string& error);

// Runs the builder from start to end and returns the process exit status.
int RunBuilder(StartupHost& host, const CmdLineHelper& commandLine);

// ValidateOptions, then BuildSfx. 0 when the SFX file was written; 1 when the
// options were refused, the user declined, the build was cancelled or failed
// (a failure is shown through ShowFatalError).
int RunCommandLineBuild(StartupHost& host, const CommandLineOptions& options, BuildEnvironment& env);

}  // namespace ql
