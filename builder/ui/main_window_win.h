// The builder's main window: every build option as a control, the browse
// buttons and links, and the make button that validates and builds.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "builder/engine/build_environment.h"
#include "builder/ui/file_dialogs_win.h"
#include "builder/ui/main_window_rules.h"
#include "builder/ui/window_kit_win.h"

namespace ql::ui {

class MainWindow final : public Window, private ControlPanel {
public:
    // Fills the controls from a complete command line (env.parametersComplete),
    // else from the stored settings; the options of the command line only
    // come from the command line for every build.
    MainWindow(BuildEnvironment& env, const BuildOptions& commandLine, Registry& registry,
               std::string_view helpText);

    // Shows the window and runs the application until it closes.
    int Run();

    bool PreviewKey(const MSG& message) override;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    bool IsEnabled(int id) const override;
    void SetEnabled(int id, bool enabled) override;
    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    void Focus(int id) override;

    void OnCommand(int id, int code);
    void BrowseSource();
    void BrowseTarget();
    void BrowseFile(FileDialog& dialog, int edit);
    void InsertEnvironmentVariable();
    void Make();
    // The text fields whose characters the ANSI code page cannot hold.
    bool TextsFitCodePage();

    BuildEnvironment& env_;
    const BuildOptions commandLine_;
    std::string_view helpText_;
    FileDialog targetDialog_, executableDialog_, iconDialog_;
};

}  // namespace ql::ui
