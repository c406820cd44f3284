// The Linux command-line builder. It writes the same SFX files as the Windows
// builder; without -h a complete command line builds too, as there is no window.
#include <libdeflate.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "builder/cli/sfx_inspect.h"
#include "builder/cli/startup.h"
#include "builder/cli/terminal_dialogs.h"
#include "builder/cli/terminal_progress.h"
#include "builder/resources/embedded_resources.h"
#include "builder/resources/texts.h"
#include "platform/posix_setup.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

const char kLinuxNotes[] =
    "\n"
    "Linux:\n"
    "  switches begin with '-' only, since paths begin with '/'\n"
    "  QUILLON_CODEPAGE=<n>      Windows code page of the stored names (default 1252)\n"
    "  QUILLON_STUB_ARCH=<arch>  i686 (default) or x86_64 stub\n"
    "  QUILLON_THREADS=<n>       threads that pack (default: one per processor); --threads=<n>\n"
    "  QUILLON_LEVEL=<n>         compression level 0 to 12 (default 7; 12 packs smallest); --level=<n>\n"
    "  SOURCE_DATE_EPOCH=<s>     reproducible build: times clamped to it and stored in UTC\n"
    "\n"
    "  quillon --list SFX         the configuration and the entries of an SFX file\n"
    "  quillon --list --json SFX  the same as one JSON document, for scripts\n"
    "  quillon --test SFX         checks every chunk and checksum as the SFX file would\n"
    "  quillon --extract SFX DIR  writes its tree into DIR (names in QUILLON_CODEPAGE)\n"
    "  quillon --version          the version, and the stub images it carries\n";

// The help in the language of the messages: the Windows builder's (GBK) or its English version.
std::string HelpText(std::string_view chinese) {
    std::string_view english;
    if (ql::TextLanguage() == ql::Language::English && ql::LoadResourceData("TXT", "CMDLINE_EN", english))
        return ql::TerminalText(std::string(english)) + kLinuxNotes;
    return ql::TerminalText(ql::platform::CodePageToUtf8(chinese, ql::kHelpTextCodePage)) + kLinuxNotes;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class TerminalHost : public ql::StartupHost {
public:
    explicit TerminalHost(int argc, char** argv) {
        // A progress line only where someone watches it.
        if (isatty(STDERR_FILENO)) {
            struct winsize size {};
            const int width = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 80;
            progress_ = std::make_unique<ql::TerminalProgress>(std::cerr, width, SteadySeconds);
            dialogs_.SetProgressLine(progress_.get());
        }
        for (int i = 1; i < argc; ++i) arguments_.push_back(argv[i]);
    }

    ql::ProgressSink* Progress() override { return progress_.get(); }

    // --threads=<n> and --level=<n>; the builder's own switch reader passes
    // over them as unknown switches.
    const char* SettingSwitch(const char* name) override {
        const std::string prefix = std::string("--") + name + "=";
        const char* value = nullptr;
        for (const std::string& argument : arguments_)
            if (argument.starts_with(prefix)) value = argument.c_str() + prefix.size();
        return value;
    }

    bool ReadsLinuxSettings() const override { return true; }

    ql::DialogHost& Dialogs() override { return dialogs_; }

    void ShowFatalError(const std::string& message) override {
        std::cerr << ql::Tr(ql::TextId::FatalErrorTitle) << ": " << ql::TerminalText(message) << "\n";
    }

    int RunInteractive(const ql::CommandLineOptions& options, ql::BuildEnvironment& env,
                       std::string_view helpText) override {
        if (options.ParametersComplete) return ql::RunCommandLineBuild(*this, options, env);
        std::cerr << HelpText(helpText);
        return 2;
    }

private:
    ql::TerminalDialogs dialogs_;
    std::vector<std::string> arguments_;
    std::unique_ptr<ql::TerminalProgress> progress_;
};

// The program's version, the libdeflate it packs with and the images it carries.
void ShowVersion() {
    std::cout << "quillon " << QUILLON_VERSION << "\n"
              << "libdeflate " << LIBDEFLATE_VERSION_STRING << "\n";
    for (const ql::StubImages& images : ql::EmbeddedStubImages())
        std::cout << "stub " << images.architecture << ": sfxhead.exe " << images.stub.size()
                  << " bytes, selfdelete.exe " << images.helper.size() << " bytes\n";
}

bool IsInspection(std::string_view command) {
    return command == "--list" || command == "--test" || command == "--extract";
}

// --list SFX, --test SFX, --extract SFX DIR, with the code page of the settings.
int Inspect(ql::StartupHost& host, int argc, char** argv) {
    ql::BuildEnvironment settings{host.Dialogs()};
    std::string error;
    if (!ql::ReadSettings(host, settings, error)) {
        host.Dialogs().ShowError(error);
        return 2;
    }
    const std::string_view command = argv[1];
    const bool json = command == "--list" && argc == 4 && std::string_view(argv[2]) == "--json";
    const int wanted = command == "--extract" || json ? 4 : 3;
    if (argc != wanted) {
        std::cerr << "Usage: quillon --list [--json] SFX | --test SFX | --extract SFX DIR\n";
        return 2;
    }
    if (json) return ql::ListSfxJson(argv[3], std::cout, std::cerr);
    if (command == "--list") return ql::ListSfx(argv[2], std::cout, std::cerr);
    if (command == "--test") return ql::TestSfx(argv[2], std::cout, std::cerr);
    return ql::ExtractSfx(argv[2], argv[3], std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    ql::platform::SetArguments(argc, argv);
    ql::SetTextLanguage(
        ql::LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")));
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        ShowVersion();
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-?") == 0)) {
        std::string_view help;
        if (ql::LoadResourceData("TXT", "CMDLINE", help)) std::cout << HelpText(help);
        return 0;
    }
    TerminalHost host(argc, argv);
    if (argc >= 2 && IsInspection(argv[1])) return Inspect(host, argc, argv);

    ql::CmdLineHelper commandLine({ql::platform::CommandLineText, ql::platform::ModulePath,
                                   ql::platform::IsLeadByte, ql::platform::SameTextIgnoringCase, "-"});
    return ql::RunBuilder(host, commandLine);
}
