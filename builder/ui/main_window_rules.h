// The main window's behaviour that does not depend on Windows: which
// controls are enabled as choices change, how options and settings fill the
// controls, and how the controls read out as build options. The Win32 window
// hands its controls in through ControlPanel.
#pragma once

#include <span>
#include <string>

#include "builder/engine/build_options.h"
#include "builder/ui/option_table.h"
#include "builder/ui/settings.h"

namespace ql::ui {

class ControlPanel {
public:
    virtual ~ControlPanel() = default;
    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
    virtual std::string Text(int id) const = 0;  // in the ANSI code page, as options hold it
    virtual void SetText(int id, const std::string& text) = 0;
    virtual void Focus(int id) = 0;
};

// Selects the radio of that number; a number that names none selects the first.
void SelectRadio(ControlPanel& panel, std::span<const int> group, uint32_t number);
// The number of the selected radio: the first of the second and later radios
// that is selected, else 0.
uint8_t SelectedRadio(const ControlPanel& panel, std::span<const int> group);

// Whether a rule runs because the user clicked: only then may it move the focus.
enum class Cause { Program, Click };

void IconRule(ControlPanel& panel, Cause cause);
void ExtractionModeRule(ControlPanel& panel, Cause cause);
void ExtractionFolderRule(ControlPanel& panel, Cause cause);
void ElevationRule(ControlPanel& panel);

// A click on control `id`: runs the rule that control has, if any.
void OnControlClicked(ControlPanel& panel, int id);
// The rules that run each time the window is shown.
void RunShowRules(ControlPanel& panel);

// Every option the window shows, whether its controls are enabled or not;
// the custom icon only when it is chosen, and trimmed. The options of the
// command line only keep their defaults.
BuildOptions ReadOptions(const ControlPanel& panel);

// The state before any values: the first radio of every group, the open-folder box ticked.
void ShowInitialState(ControlPanel& panel);
// Fills the controls from a complete command line's options.
void ShowOptions(ControlPanel& panel, const BuildOptions& options);
// Fills the controls from stored settings; an absent value leaves its control.
void ShowSettings(ControlPanel& panel, const Settings& settings);

}  // namespace ql::ui
