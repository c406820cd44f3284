// Start-up order: resources, random seed, switches, positional parameters, mode.
#include "builder/cli/startup.h"

#include <chrono>
#include <cstdlib>
#include <exception>

#include "builder/engine/build_driver.h"
#include "builder/engine/build_errors.h"
#include "builder/engine/options_check.h"
#include "builder/resources/embedded_resources.h"
#include "platform/process.h"

namespace ql {

namespace {

struct EmbeddedResources {
    std::string_view stub, helper, manifest, help;
};

bool LoadEmbeddedResources(EmbeddedResources& r) {
    return LoadResourceData("EXE", "SFXHEAD", r.stub) && LoadResourceData("EXE", "SELFDELETE", r.helper) &&
           LoadResourceData("XML", "UAC", r.manifest) && LoadResourceData("TXT", "CMDLINE", r.help);
}

// A whole decimal number from `low` to `high`; nothing else, not even blanks.
bool ParseNumber(const char* text, int64_t low, int64_t high, int64_t& value) {
    if (*text == '\0') return false;
    value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > high) return false;
    }
    return value >= low;
}

}  // namespace

const char* StartupHost::Setting(const char* name) { return std::getenv(name); }

bool ReadPackingSettings(StartupHost& host, BuildEnvironment& env, std::string& error) {
    auto read = [&](const char* name, int64_t low, int64_t high, auto apply) {
        const char* text = host.Setting(name);
        if (text == nullptr || *text == '\0') return true;  // an empty setting means the default
        int64_t value = 0;
        if (!ParseNumber(text, low, high, value)) {
            error = std::string(name) + "=" + text + " is not a whole number from " + std::to_string(low) +
                    " to " + std::to_string(high);
            return false;
        }
        apply(value);
        return true;
    };
    return read("QUILLON_THREADS", 1, 256,
                [&](int64_t v) { env.packingThreads = static_cast<unsigned>(v); }) &&
           read("QUILLON_LEVEL", kFastestCompressionLevel, kSmallestCompressionLevel,
                [&](int64_t v) { env.compressionLevel = static_cast<int>(v); }) &&
           read("SOURCE_DATE_EPOCH", 0, INT64_C(253402300799),  // up to the year 9999
                [&](int64_t v) { env.sourceDateEpoch = v; });
}

int RunCommandLineBuild(StartupHost& host, const CommandLineOptions& options, BuildEnvironment& env) {
    try {
        if (!ValidateOptions(options.build, env)) return 1;
        return BuildSfx(options.build, env) ? 0 : 1;
    } catch (const std::exception& error) {
        // The partly written target stays, as after any failed build.
        host.ShowFatalError(WithPathLine(error.what(), ErrorPath(error)));
        return 1;
    }
}

int RunBuilder(StartupHost& host, const CmdLineHelper& commandLine) {
    EmbeddedResources resources;
    if (!LoadEmbeddedResources(resources)) {
        host.Dialogs().ShowError("Internal error\r\nThe program is corrupted");
        return 0;
    }
    auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    SeedInstanceIds(static_cast<uint32_t>(ticks ^ (ticks >> 32)));

    CommandLineOptions options = ReadCommandLineOptions(commandLine);
    BuildEnvironment env{host.Dialogs()};
    env.overwriteTarget = options.OverwriteTarget;
    env.showMessages = options.ShowMessages;
    env.parametersComplete = options.ParametersComplete;
    env.editResources = platform::IsNtFamily();
    env.hasSwitch = [&commandLine](const std::string& name) { return commandLine.HasSwitch(name); };
    env.stubImage = resources.stub;
    env.helperImage = resources.helper;
    env.manifestTemplate = resources.manifest;
    env.progress = host.Progress();
    std::string settingError;
    if (!ReadPackingSettings(host, env, settingError)) {
        host.Dialogs().ShowError(settingError);
        return 2;
    }

    if (options.Headless) return options.ParametersComplete ? RunCommandLineBuild(host, options, env) : 0;
    return host.RunInteractive(options, env, resources.help);
}

}  // namespace ql
