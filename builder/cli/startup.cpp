// Start-up order: settings, resources, random seed, switches, positional parameters, mode.
#include "builder/cli/startup.h"

#include <chrono>
#include <cstdlib>
#include <exception>

#include "builder/engine/build_driver.h"
#include "builder/engine/build_errors.h"
#include "builder/engine/options_check.h"
#include "builder/resources/embedded_resources.h"
#include "builder/resources/texts.h"
#include "platform/process.h"
#include "platform/text.h"

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

// One setting: its environment variable, the Linux builder's switch that wins
// over it, and how its text is taken (false with why not).
struct SettingRow {
    const char* variable;
    const char* linuxSwitch;  // null: none
    bool linuxOnly;
    bool (*take)(const std::string& text, BuildEnvironment& env, std::string& why);
};

template <int64_t Low, int64_t High>
bool TakeNumber(const std::string& text, int64_t& value, std::string& why) {
    if (ParseNumber(text.c_str(), Low, High, value)) return true;
    why = platform::FillPattern(Tr(TextId::SettingNotANumber), {std::to_string(Low), std::to_string(High)});
    return false;
}

const SettingRow kSettings[] = {
    {"QUILLON_CODEPAGE", nullptr, true,
     [](const std::string& text, BuildEnvironment&, std::string& why) {
         int64_t codePage = 0;
         if (ParseNumber(text.c_str(), 1, 65535, codePage) &&
             platform::SetAnsiCodePage(static_cast<int>(codePage)))
             return true;
         why = Tr(TextId::SettingNotACodePage);
         return false;
     }},
    {"QUILLON_STUB_ARCH", nullptr, true,
     [](const std::string& text, BuildEnvironment&, std::string& why) {
         if (SelectStubArchitecture(text)) return true;
         why = Tr(TextId::SettingNotAnArchitecture);
         return false;
     }},
    {"QUILLON_THREADS", "threads", false,
     [](const std::string& text, BuildEnvironment& env, std::string& why) {
         int64_t v = 0;
         if (!TakeNumber<1, 256>(text, v, why)) return false;
         env.packingThreads = static_cast<unsigned>(v);
         return true;
     }},
    {"QUILLON_LEVEL", "level", false,
     [](const std::string& text, BuildEnvironment& env, std::string& why) {
         int64_t v = 0;
         if (!TakeNumber<kFastestCompressionLevel, kSmallestCompressionLevel>(text, v, why)) return false;
         env.compressionLevel = static_cast<int>(v);
         return true;
     }},
    {"SOURCE_DATE_EPOCH", nullptr, false,
     [](const std::string& text, BuildEnvironment& env, std::string& why) {
         int64_t v = 0;
         if (!TakeNumber<0, INT64_C(253402300799)>(text, v, why)) return false;  // up to the year 9999
         env.sourceDateEpoch = v;
         return true;
     }},
};

}  // namespace

const char* StartupHost::Setting(const char* name) { return std::getenv(name); }

bool ReadSettings(StartupHost& host, BuildEnvironment& env, std::string& error) {
    for (const SettingRow& row : kSettings) {
        if (row.linuxOnly && !host.ReadsLinuxSettings()) continue;
        const char* text = row.linuxSwitch ? host.SettingSwitch(row.linuxSwitch) : nullptr;
        if (text == nullptr) text = host.Setting(row.variable);
        if (text == nullptr || *text == '\0') continue;  // an empty setting means the default
        std::string why;
        if (!row.take(text, env, why)) {
            // A switch stands for its variable, and is named as such.
            error = std::string(row.variable) + "=" + text + why;
            return false;
        }
    }
    return true;
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
    // The settings come first: they choose which stub image is embedded.
    BuildEnvironment env{host.Dialogs()};
    std::string settingError;
    if (!ReadSettings(host, env, settingError)) {
        host.Dialogs().ShowError(settingError);
        return 2;
    }
    EmbeddedResources resources;
    if (!LoadEmbeddedResources(resources)) {
        host.Dialogs().ShowError(Tr(TextId::ProgramCorrupted));
        return 0;
    }
    auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    SeedInstanceIds(static_cast<uint32_t>(ticks ^ (ticks >> 32)));

    CommandLineOptions options = ReadCommandLineOptions(commandLine);
    env.overwriteTarget = options.OverwriteTarget;
    env.showMessages = options.ShowMessages;
    env.parametersComplete = options.ParametersComplete;
    env.editResources = platform::IsNtFamily();
    env.hasSwitch = [&commandLine](const std::string& name) { return commandLine.HasSwitch(name); };
    env.stubImage = resources.stub;
    env.helperImage = resources.helper;
    env.manifestTemplate = resources.manifest;
    env.progress = host.Progress();

    if (options.Headless) return options.ParametersComplete ? RunCommandLineBuild(host, options, env) : 0;
    return host.RunInteractive(options, env, resources.help);
}

}  // namespace ql
