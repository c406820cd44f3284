// Enabling rules, initial values and the read-out of the main window.
#include "builder/ui/main_window_rules.h"

#include "platform/text.h"

namespace ql::ui {

namespace {

template <typename Ids>
void EnableAll(ControlPanel& panel, const Ids& ids, bool enabled) {
    for (int id : ids) panel.SetEnabled(id, enabled);
}

void ShowIconChoice(ControlPanel& panel) {
    SelectRadio(panel, kIconRadios, platform::TrimText(panel.Text(kEIcon)).empty() ? 0 : 1);
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

std::string GetIcon(const ControlPanel& panel) {
    return panel.IsChecked(kRbIconCustom) ? platform::TrimText(panel.Text(kEIcon)) : std::string();
}

BuildOptions ReadOptions(const ControlPanel& panel) {
    BuildOptions o;
    o.Source = panel.Text(kESource);
    o.Target = panel.Text(kETarget);
    o.Icon = GetIcon(panel);
    o.ExecutableFile = panel.Text(kEExecutableFile);
    o.CmdParameters = panel.Text(kECmdParameters);
    o.CustomFolder = panel.Text(kECustomDir);
    o.ExtractionMode = SelectedRadio(panel, kModeRadios);
    o.ExtractionFolder = SelectedRadio(panel, kFolderRadios);
    o.OpenFolder = panel.IsChecked(kCbOpenFolder);
    o.WorkingDirectory = SelectedRadio(panel, kWorkingDirRadios);
    o.DeleteMode = SelectedRadio(panel, kDeleteModeRadios);
    o.OneInstance = panel.IsChecked(kCbOneInstance);
    o.SilentMode = panel.IsChecked(kCbSilent);
    o.SelfDeleteMode = panel.IsChecked(kCbSelfDelete);
    o.UACAutoElevation = SelectedRadio(panel, kElevationRadios);
    o.OverwriteMode = SelectedRadio(panel, kOverwriteRadios);
    o.Compression = true;
    return o;
}

void ShowInitialState(ControlPanel& panel) {
    for (std::span<const int> group :
         {std::span<const int>(kIconRadios), std::span<const int>(kModeRadios),
          std::span<const int>(kFolderRadios), std::span<const int>(kWorkingDirRadios),
          std::span<const int>(kDeleteModeRadios), std::span<const int>(kElevationRadios),
          std::span<const int>(kOverwriteRadios)})
        SelectRadio(panel, group, 0);
    panel.SetChecked(kCbOpenFolder, true);
}

void ShowSettings(ControlPanel& panel, const Settings& s) {
    auto text = [&panel](int id, const std::optional<std::string>& value) {
        if (value) panel.SetText(id, *value);
    };
    auto check = [&panel](int id, const std::optional<bool>& value) {
        if (value) panel.SetChecked(id, *value);
    };
    auto select = [&panel](std::span<const int> group, const std::optional<uint32_t>& value) {
        if (value) SelectRadio(panel, group, *value);
    };
    text(kESource, s.Source);
    text(kETarget, s.Target);
    if (s.Icon) panel.SetText(kEIcon, platform::TrimText(*s.Icon));
    ShowIconChoice(panel);
    text(kEExecutableFile, s.ExecutableFile);
    text(kECmdParameters, s.CmdParameters);
    text(kECustomDir, s.CustomFolder);
    check(kCbOpenFolder, s.OpenFolder);
    check(kCbOneInstance, s.OneInstance);
    check(kCbSilent, s.SilentMode);
    check(kCbSelfDelete, s.SelfDeleteMode);
    select(kModeRadios, s.ExtractionMode);
    select(kFolderRadios, s.ExtractionFolder);
    select(kWorkingDirRadios, s.WorkingDirectory);
    select(kDeleteModeRadios, s.DeleteMode);
    select(kElevationRadios, s.UACAutoElevation);
    select(kOverwriteRadios, s.OverwriteMode);
}

// A command line's options are settings that all hold a value; only the icon
// is shown as given, where a stored one is shown trimmed.
void ShowOptions(ControlPanel& panel, const BuildOptions& options) {
    ShowSettings(panel, Settings::FromOptions(options));
    panel.SetText(kEIcon, options.Icon);
}

}  // namespace ql::ui
