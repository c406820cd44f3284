// The small windows the main window opens: the command-line generator, the
// command-line help and the environment variables. Each is modal.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "builder/ui/main_window_rules.h"

namespace ql::ui {

// Shows the command line that builds what `panel` shows.
void ShowCommandLineGenerator(HWND owner, const ControlPanel& panel);

// Shows the help text (GBK, as the builder carries it).
void ShowCommandLineHelp(HWND owner, std::string_view helpText);

// The key of the variable the user accepted ("%PATH%"); nothing when none was.
std::optional<std::wstring> ChooseEnvironmentVariable(HWND owner, const std::wstring& mainCaption);

}  // namespace ql::ui
