// Every build option once: its field, its registry value and kind, its
// switches and its controls. The stored settings, the command line, the
// command-line generator and the main window all read this table, so that
// adding an option means adding a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "builder/engine/build_options.h"
#include "builder/ui/control_ids.h"

namespace ql::ui {

// The radio groups; a group's number is the index of its selected radio.
inline constexpr int kIconRadios[] = {kRbIconDefault, kRbIconCustom};
inline constexpr int kModeRadios[] = {kRbOpenFolder, kRbExecuteFile};
inline constexpr int kFolderRadios[] = {kRbTemp, kRbDesktop, kRbDocuments, kRbCurrent, kRbSelect, kRbCustom};
inline constexpr int kWorkingDirRadios[] = {kRbWdExtraction, kRbWdSource, kRbWdCurrent};
inline constexpr int kDeleteModeRadios[] = {kRbDmImmediately, kRbDmOnReboot, kRbDmDoNotDelete};
inline constexpr int kElevationRadios[] = {kRbUacNone, kRbUacHighest, kRbUacAdministrator};
inline constexpr int kOverwriteRadios[] = {kRbOmPrompt, kRbOmOverwrite, kRbOmSkip};

// An option is one of three kinds, by the field it has: a text (a string
// value, an edit control, a positional parameter), a flag (a number value 0
// or 1, a check box, one switch) or a choice (a number value, a radio group
// and a switch for each choice).
struct OptionRow {
    const char* value;  // the registry value
    std::string BuildOptions::*text = nullptr;
    bool BuildOptions::*flag = nullptr;
    uint8_t BuildOptions::*choice = nullptr;
    int control = kNoControl;       // a text's edit control, a flag's check box
    std::span<const int> radios{};  // a choice's radios; a text's pair that says whether it counts
    // A flag's switch, a choice's switches by number, a text's switch that
    // announces its positional parameter.
    std::array<const char*, 6> switches{};
    // A text's positional parameter stands when the choice `when` holds
    // `whenValue`; one that is `optional` comes after all the others and may
    // be left out.
    uint8_t BuildOptions::*when = nullptr;
    uint8_t whenValue = 0;
    bool optional = false;

    constexpr OptionRow AnnouncedBy(const char* name) const {
        OptionRow row = *this;
        row.switches[0] = name;
        return row;
    }
    constexpr OptionRow CountsWhen(std::span<const int> pair) const {
        OptionRow row = *this;
        row.radios = pair;
        return row;
    }
    constexpr OptionRow StandsWhen(uint8_t BuildOptions::*choiceField, uint8_t value,
                                   bool last = false) const {
        OptionRow row = *this;
        row.when = choiceField;
        row.whenValue = value;
        row.optional = last;
        return row;
    }
};

constexpr OptionRow TextRow(const char* value, std::string BuildOptions::*field, int edit) {
    return {.value = value, .text = field, .control = edit};
}

constexpr OptionRow FlagRow(const char* value, bool BuildOptions::*field, int checkBox, const char* name) {
    return {.value = value, .flag = field, .control = checkBox, .switches = {name}};
}

constexpr OptionRow ChoiceRow(const char* value, uint8_t BuildOptions::*field, std::span<const int> radios,
                              std::array<const char*, 6> names) {
    return {.value = value, .choice = field, .radios = radios, .switches = names};
}

// In the order in which the settings are written and the generator writes
// the switches.
inline constexpr OptionRow kOptions[] = {
    TextRow("Source", &BuildOptions::Source, kESource),
    TextRow("Target", &BuildOptions::Target, kETarget),
    TextRow("Icon", &BuildOptions::Icon, kEIcon).AnnouncedBy("ic").CountsWhen(kIconRadios),
    ChoiceRow("ExtractionMode", &BuildOptions::ExtractionMode, kModeRadios, {"me", "mf"}),
    TextRow("ExecutableFile", &BuildOptions::ExecutableFile, kEExecutableFile)
        .StandsWhen(&BuildOptions::ExtractionMode, kExtractAndRun),
    TextRow("CmdParameters", &BuildOptions::CmdParameters, kECmdParameters)
        .StandsWhen(&BuildOptions::ExtractionMode, kExtractAndRun, true),
    ChoiceRow("ExtractionFolder", &BuildOptions::ExtractionFolder, kFolderRadios,
              {"ft", "fd", "fp", "fc", "fs", "fm"}),
    TextRow("CustomFolder", &BuildOptions::CustomFolder, kECustomDir)
        .StandsWhen(&BuildOptions::ExtractionFolder, kFolderCustom),
    FlagRow("OpenFolder", &BuildOptions::OpenFolder, kCbOpenFolder, "e"),
    ChoiceRow("WorkingDirectory", &BuildOptions::WorkingDirectory, kWorkingDirRadios, {"we", "ws", "wc"}),
    ChoiceRow("DeleteMode", &BuildOptions::DeleteMode, kDeleteModeRadios, {"di", "dr", "dn"}),
    FlagRow("OneInstance", &BuildOptions::OneInstance, kCbOneInstance, "i"),
    FlagRow("SilentMode", &BuildOptions::SilentMode, kCbSilent, "s"),
    FlagRow("SelfDeleteMode", &BuildOptions::SelfDeleteMode, kCbSelfDelete, "d"),
    ChoiceRow("UACAutoElevation", &BuildOptions::UACAutoElevation, kElevationRadios, {"un", "uh", "ua"}),
    ChoiceRow("OverwriteMode", &BuildOptions::OverwriteMode, kOverwriteRadios, {"op", "oo", "os"}),
};
inline constexpr size_t kOptionCount = std::size(kOptions);

// The row of a field; kOptionCount for a field that is no option.
size_t OptionIndex(std::string BuildOptions::*field);
size_t OptionIndex(bool BuildOptions::*field);
size_t OptionIndex(uint8_t BuildOptions::*field);

// The text options that stand as positional parameters, in their order: the
// required ones in table order, then the optional ones.
std::span<const OptionRow* const> PositionalOptions();

// Whether a text option's positional parameter stands, by the choices of
// `options` and, for an announced text, `announced`.
bool Stands(const OptionRow& row, const BuildOptions& options, bool announced);

}  // namespace ql::ui
