// Start-up order: resources, random seed, switches, positional parameters, mode.
#include "builder/cli/startup.h"

#include <chrono>
#include <exception>

#include "builder/engine/build_driver.h"
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

}  // namespace

int RunCommandLineBuild(StartupHost& host, const CommandLineOptions& options, BuildEnvironment& env) {
    try {
        if (!ValidateOptions(options.build, env)) return 1;
        return BuildSfx(options.build, env) ? 0 : 1;
    } catch (const std::exception& error) {
        // The partly written target stays, as after any failed build.
        host.ShowFatalError(error.what());
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

    if (options.Headless) return options.ParametersComplete ? RunCommandLineBuild(host, options, env) : 0;
    return host.RunInteractive(options, env, resources.help);
}

}  // namespace ql
