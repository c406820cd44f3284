// The Windows builder's entry point: a headless build, or the main window.
#include <windows.h>
// The common controls and COM build on windows.h.
#include <commctrl.h>
#include <objbase.h>

#include "builder/cli/startup.h"
#include "builder/ui/main_window_win.h"
#include "builder/ui/message_boxes_win.h"
#include "builder/ui/registry_win.h"
#include "platform/process.h"
#include "platform/text.h"

namespace {

class WindowsHost : public ql::StartupHost {
public:
    ql::DialogHost& Dialogs() override { return dialogs_; }

    void ShowFatalError(const std::string& message) override { ql::ShowFatalErrorBox(message); }

    int RunInteractive(const ql::CommandLineOptions& options, ql::BuildEnvironment& env,
                       std::string_view helpText) override {
        INITCOMMONCONTROLSEX controls{sizeof controls,
                                      ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        // The shell's folder browser and file dialogs want COM in this thread.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ql::ui::UserRegistry registry;
        ql::ui::RegistrySettingsStore settings(registry);
        env.settings = &settings;
        ql::ui::MainWindow window(env, options.build, registry, helpText);
        return window.Run();
    }

private:
    ql::MessageBoxDialogs dialogs_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ql::CmdLineHelper commandLine({ql::platform::CommandLineText, ql::platform::ModulePath,
                                   ql::platform::IsLeadByte, ql::platform::SameTextIgnoringCase, "-/"});
    // A headless build started from a console hears its Ctrl-C and its closing,
    // so that it can take away the file it was writing (platform/partial_file.h).
    if (commandLine.HasSwitch("h")) AttachConsole(ATTACH_PARENT_PROCESS);
    WindowsHost host;
    return ql::RunBuilder(host, commandLine);
}
