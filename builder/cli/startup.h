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
    // The report of a failure inside a headless build, titled TextId::FatalErrorTitle.
    virtual void ShowFatalError(const std::string& message) = 0;
    // A start without -h. Returns the exit status.
    virtual int RunInteractive(const CommandLineOptions& options, BuildEnvironment& env,
                               std::string_view helpText) = 0;
    // The environment variable of that name (QUILLON_THREADS and the like), or
    // null when it is not set.
    virtual const char* Setting(const char* name);
    // The Linux builder's switches for settings, which win over the variables:
    // the value of --threads=<n> for "threads", and so on; null when not given.
    virtual const char* SettingSwitch(const char*) { return nullptr; }
    // Whether the settings that only the Linux builder has are read: the code
    // page of stored names and the stub's architecture.
    virtual bool ReadsLinuxSettings() const { return false; }
    // Where a build without the desktop interface shows its progress; none
    // unless the host has its own.
    virtual ProgressSink* Progress() { return nullptr; }
};

// Reads every setting of a run, in one place for both builders:
// QUILLON_THREADS or --threads=<n> (1 to 256 packing threads), QUILLON_LEVEL or
// --level=<n> (0 to 12), SOURCE_DATE_EPOCH (seconds since 1970, for a
// reproducible build), and on Linux QUILLON_CODEPAGE and QUILLON_STUB_ARCH.
// False, with the message, for a value that is not taken; the settings read
// before it may then be taken already.
bool ReadSettings(StartupHost& host, BuildEnvironment& env, std::string& error);

// Runs the builder from start to end and returns the process exit status.
int RunBuilder(StartupHost& host, const CmdLineHelper& commandLine);

// ValidateOptions, then BuildSfx. 0 when the SFX file was written; 1 when the
// options were refused, the user declined, the build was cancelled or failed
// (a failure is shown through ShowFatalError).
int RunCommandLineBuild(StartupHost& host, const CommandLineOptions& options, BuildEnvironment& env);

}  // namespace ql
