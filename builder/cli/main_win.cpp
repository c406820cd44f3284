// The Windows builder's entry point.
#include <windows.h>

#include "builder/cli/startup.h"
#include "builder/engine/build_driver.h"
#include "builder/engine/options_check.h"
#include "builder/ui/message_boxes.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

// The help text is stored in GBK (code page 936), whatever the system's code page.
std::string HelpText(std::string_view gbk) {
    int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), n);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

class WindowsHost : public ql::StartupHost {
public:
    ql::DialogHost& Dialogs() override { return dialogs_; }

    void ShowFatalError(const std::string& message) override { ql::ShowFatalErrorBox(message); }

    // Until the main window exists, a complete command line builds at once
    // and an incomplete one shows the command-line help.
    int RunInteractive(const ql::CommandLineOptions& options, ql::BuildEnvironment& env,
                       std::string_view helpText) override {
        if (!options.ParametersComplete) {
            dialogs_.ShowInformation(HelpText(helpText));
            return 0;
        }
        try {
            if (ql::ValidateOptions(options.build, env)) ql::BuildSfx(options.build, env);
        } catch (const std::exception& error) {
            ql::ShowApplicationErrorBox(error.what());
        }
        return 0;
    }

private:
    ql::MessageBoxDialogs dialogs_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ql::CmdLineHelper commandLine({ql::platform::CommandLineText, ql::platform::ModulePath,
                                   ql::platform::IsLeadByte, ql::platform::SameTextIgnoringCase, "-/"});
    WindowsHost host;
    return ql::RunBuilder(host, commandLine);
}
