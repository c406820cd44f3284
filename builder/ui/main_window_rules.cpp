// Enabling rules, initial values and the read-out of the main window.
#include "builder/ui/main_window_rules.h"

#include "platform/text.h"

namespace ql::ui {

namespace {

template <typename Ids>
void EnableAll(ControlPanel& panel, const Ids& ids, bool enabled) {
    for (int id : ids) panel.SetEnabled(id, enabled);
}

// A text that a radio pair chooses (the icon) counts only when the pair's
// second radio is chosen, and then without surrounding blanks.
std::string CountedText(const ControlPanel& panel, const OptionRow& row) {
    if (row.radios.empty()) return panel.Text(row.control);
    return panel.IsChecked(row.radios[1]) ? platform::TrimText(panel.Text(row.control)) : std::string();
}

}  // namespace

void SelectRadio(ControlPanel& panel, std::span<const int> group, uint32_t number) {
    if (number >= group.size()) number = 0;
    for (size_t i = 0; i < group.size(); ++i) panel.SetChecked(group[i], i == number);
}

uint8_t SelectedRadio(const ControlPanel& panel, std::span<const int> group) {
    for (size_t i = 1; i < group.size(); ++i)
        if (panel.IsChecked(group[i])) return static_cast<uint8_t>(i);
    return 0;
}

void IconRule(ControlPanel& panel, Cause cause) {
    const bool custom = panel.IsChecked(kRbIconCustom);
    panel.SetEnabled(kEIcon, custom);
    panel.SetEnabled(kBIcon, custom);
    if (custom && cause == Cause::Click) panel.Focus(kEIcon);
}

void ExtractionFolderRule(ControlPanel& panel, Cause cause) {
    const bool custom = panel.IsChecked(kRbCustom);
    panel.SetEnabled(kECustomDir, custom);
    panel.SetEnabled(kBEnvVars, custom);
    panel.SetEnabled(kLCustom, custom);
    if (custom && cause == Cause::Click) panel.Focus(kECustomDir);
}

void ExtractionModeRule(ControlPanel& panel, Cause) {
    const bool execute = panel.IsChecked(kRbExecuteFile);
    panel.SetEnabled(kCbOpenFolder, panel.IsChecked(kRbOpenFolder));
    const int executeControls[] = {kLExecutableFile, kEExecutableFile, kBExecutableFile, kLCmdParameters,
                                   kECmdParameters,  kLWorkingDir,     kLDeleteMode,     kLUacAutoElevation};
    EnableAll(panel, executeControls, execute);
    EnableAll(panel, kWorkingDirRadios, panel.IsEnabled(kLWorkingDir));
    panel.SetEnabled(kRbDmImmediately, panel.IsEnabled(kLDeleteMode));
    panel.SetEnabled(kRbDmDoNotDelete, panel.IsEnabled(kLDeleteMode));
    EnableAll(panel, kElevationRadios, panel.IsEnabled(kLUacAutoElevation));
    ExtractionFolderRule(panel, Cause::Program);
    ElevationRule(panel);
}

// Deleting at the next restart needs administrator rights, so it is offered
// only to an SFX file that runs as administrator.
void ElevationRule(ControlPanel& panel) {
    const bool deleteModeOpen = panel.IsEnabled(kLDeleteMode);
    panel.SetEnabled(kRbDmOnReboot, deleteModeOpen && panel.IsChecked(kRbUacAdministrator));
    if (deleteModeOpen && !panel.IsEnabled(kRbDmOnReboot) && panel.IsChecked(kRbDmOnReboot))
        SelectRadio(panel, kDeleteModeRadios, 0);
}

void OnControlClicked(ControlPanel& panel, int id) {
    auto in = [id](std::span<const int> ids) {
        for (int each : ids)
            if (each == id) return true;
        return false;
    };
    if (in(kIconRadios)) IconRule(panel, Cause::Click);
    if (in(kModeRadios) || id == kCbOneInstance) ExtractionModeRule(panel, Cause::Click);
    if (in(kFolderRadios)) ExtractionFolderRule(panel, Cause::Click);
    if (in(kElevationRadios) || in(kOverwriteRadios)) ElevationRule(panel);
}

void RunShowRules(ControlPanel& panel) {
    IconRule(panel, Cause::Program);
    ExtractionModeRule(panel, Cause::Program);
    ExtractionFolderRule(panel, Cause::Program);
}

BuildOptions ReadOptions(const ControlPanel& panel) {
    BuildOptions o;
    for (const OptionRow& row : kOptions) {
        if (row.text) o.*row.text = CountedText(panel, row);
        if (row.flag && row.control != kNoControl) o.*row.flag = panel.IsChecked(row.control);
        if (row.choice) o.*row.choice = SelectedRadio(panel, row.radios);
    }
    o.Compression = true;
    return o;
}

void ShowInitialState(ControlPanel& panel) {
    for (const OptionRow& row : kOptions)
        if (!row.radios.empty()) SelectRadio(panel, row.radios, 0);
    panel.SetChecked(kCbOpenFolder, true);
}

// An absent value leaves its control. A stored icon is shown trimmed, and
// its text chooses between the default and the custom icon.
void ShowSettings(ControlPanel& panel, const Settings& s) {
    for (size_t i = 0; i < kOptionCount; ++i) {
        const OptionRow& row = kOptions[i];
        if (s.texts[i])
            panel.SetText(row.control, row.radios.empty() ? *s.texts[i] : platform::TrimText(*s.texts[i]));
        if (row.text && !row.radios.empty())
            SelectRadio(panel, row.radios, platform::TrimText(panel.Text(row.control)).empty() ? 0 : 1);
        if (s.flags[i] && row.control != kNoControl) panel.SetChecked(row.control, *s.flags[i]);
        if (s.choices[i]) SelectRadio(panel, row.radios, *s.choices[i]);
    }
}

// A command line's options are settings that all hold a value; only the icon
// is shown as given, where a stored one is shown trimmed.
void ShowOptions(ControlPanel& panel, const BuildOptions& options) {
    ShowSettings(panel, Settings::FromOptions(options));
    panel.SetText(kEIcon, options.Icon);
}

}  // namespace ql::ui
