// The Linux command-line builder. It writes the same SFX files as the Windows
// builder; without -h a complete command line builds too, as there is no window.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "builder/cli/sfx_inspect.h"
#include "builder/cli/startup.h"
#include "builder/cli/terminal_dialogs.h"
#include "builder/cli/terminal_progress.h"
#include "builder/resources/embedded_resources.h"
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
    "  quillon --test SFX         checks every chunk and checksum as the SFX file would\n"
    "  quillon --extract SFX DIR  writes its tree into DIR (names in QUILLON_CODEPAGE)\n";

std::string HelpText(std::string_view stored) {
    return ql::TerminalText(ql::platform::CodePageToUtf8(stored, ql::kHelpTextCodePage)) + kLinuxNotes;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class TerminalHost : public ql::StartupHost {
public:
    // --threads=<n> and --level=<n> stand for QUILLON_THREADS and QUILLON_LEVEL;
    // the builder's own switch reader passes over them as unknown switches.
    explicit TerminalHost(int argc, char** argv) {
        // A progress line only where someone watches it.
        if (isatty(STDERR_FILENO)) {
            struct winsize size {};
            const int width = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 80;
            progress_ = std::make_unique<ql::TerminalProgress>(std::cerr, width, SteadySeconds);
            dialogs_.SetProgressLine(progress_.get());
        }
        for (int i = 1; i < argc; ++i) {
            std::string_view argument = argv[i];
            if (argument.starts_with("--threads=")) threads_ = argument.substr(10);
            if (argument.starts_with("--level=")) level_ = argument.substr(8);
        }
    }

    ql::ProgressSink* Progress() override { return progress_.get(); }

    const char* Setting(const char* name) override {
        if (threads_ && std::strcmp(name, "QUILLON_THREADS") == 0) return threads_->c_str();
        if (level_ && std::strcmp(name, "QUILLON_LEVEL") == 0) return level_->c_str();
        return StartupHost::Setting(name);
    }

    ql::DialogHost& Dialogs() override { return dialogs_; }

    void ShowFatalError(const std::string& message) override {
        std::cerr << "程序错误: " << ql::TerminalText(message) << "\n";
    }

    int RunInteractive(const ql::CommandLineOptions& options, ql::BuildEnvironment& env,
                       std::string_view helpText) override {
        if (options.ParametersComplete) return ql::RunCommandLineBuild(*this, options, env);
        std::cerr << HelpText(helpText);
        return 2;
    }

private:
    ql::TerminalDialogs dialogs_;
    std::optional<std::string> threads_, level_;
    std::unique_ptr<ql::TerminalProgress> progress_;
};

bool ConfigureFromEnvironment() {
    if (const char* codePage = std::getenv("QUILLON_CODEPAGE"); codePage && *codePage) {
        char* end = nullptr;
        const long number = std::strtol(codePage, &end, 10);
        if (*end != '\0' || !std::isdigit(static_cast<unsigned char>(*codePage)) || number <= 0 || number > 65535 || !ql::platform::SetAnsiCodePage(static_cast<int>(number))) {
            std::cerr << "Error: QUILLON_CODEPAGE=" << ql::EscapeControls(codePage)
                      << " is not a Windows ANSI or OEM code page whose first 128 characters are ASCII"
                         " (for example 1252, 936 or 850)\n";
            return false;
        }
    }
    if (const char* arch = std::getenv("QUILLON_STUB_ARCH"); arch && *arch) {
        if (!ql::SelectStubArchitecture(arch)) {
            std::cerr << "Error: QUILLON_STUB_ARCH=" << arch << " is neither i686 nor x86_64\n";
            return false;
        }
    }
    return true;
}

bool IsInspection(std::string_view command) {
    return command == "--list" || command == "--test" || command == "--extract";
}

// --list SFX, --test SFX, --extract SFX DIR.
int Inspect(int argc, char** argv) {
    const std::string_view command = argv[1];
    const int wanted = command == "--extract" ? 4 : 3;
    if (argc != wanted) {
        std::cerr << "Usage: quillon --list SFX | --test SFX | --extract SFX DIR\n";
        return 2;
    }
    if (command == "--list") return ql::ListSfx(argv[2], std::cout, std::cerr);
    if (command == "--test") return ql::TestSfx(argv[2], std::cout, std::cerr);
    return ql::ExtractSfx(argv[2], argv[3], std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    ql::platform::SetArguments(argc, argv);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-?") == 0)) {
        std::string_view help;
        if (ql::LoadResourceData("TXT", "CMDLINE", help)) std::cout << HelpText(help);
        return 0;
    }
    if (!ConfigureFromEnvironment()) return 2;
    if (argc >= 2 && IsInspection(argv[1])) return Inspect(argc, argv);

    ql::CmdLineHelper commandLine({ql::platform::CommandLineText, ql::platform::ModulePath,
                                   ql::platform::IsLeadByte, ql::platform::SameTextIgnoringCase, "-"});
    TerminalHost host(argc, argv);
    return ql::RunBuilder(host, commandLine);
}
