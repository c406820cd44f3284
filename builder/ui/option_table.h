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

// An option is of one of three kinds, by the field it has: a text (a string
// value, an edit control, a positional parameter), a flag (a number value 0
// or 1, a check box, one switch) or a choice (a number value, a radio group
// and a switch for each choice). A flag without a check box belongs to the
// command line only: the window neither shows nor stores it, and a build the
// window starts takes it from the command line the builder was started with.
struct OptionRow {
    const char* value = nullptr;  // the registry value; none for an option of the command line only
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

    bool Is(std::string BuildOptions::*field) const { return text == field; }
    bool Is(bool BuildOptions::*field) const { return flag == field; }
    bool Is(uint8_t BuildOptions::*field) const { return choice == field; }
};

// In the order in which the settings are written and the generator writes the switches.
// clang-format off
inline constexpr OptionRow kOptions[] = {
    {.value = "Source", .text = &BuildOptions::Source, .control = kESource},
    {.value = "Target", .text = &BuildOptions::Target, .control = kETarget},
    {.value = "Icon", .text = &BuildOptions::Icon, .control = kEIcon, .radios = kIconRadios,
     .switches = {"ic"}},
    {.value = "ExtractionMode", .choice = &BuildOptions::ExtractionMode, .radios = kModeRadios,
     .switches = {"me", "mf"}},
    {.value = "ExecutableFile", .text = &BuildOptions::ExecutableFile, .control = kEExecutableFile,
     .when = &BuildOptions::ExtractionMode, .whenValue = kExtractAndRun},
    {.value = "CmdParameters", .text = &BuildOptions::CmdParameters, .control = kECmdParameters,
     .when = &BuildOptions::ExtractionMode, .whenValue = kExtractAndRun, .optional = true},
    {.value = "ExtractionFolder", .choice = &BuildOptions::ExtractionFolder, .radios = kFolderRadios,
     .switches = {"ft", "fd", "fp", "fc", "fs", "fm"}},
    {.value = "CustomFolder", .text = &BuildOptions::CustomFolder, .control = kECustomDir,
     .when = &BuildOptions::ExtractionFolder, .whenValue = kFolderCustom},
    {.value = "OpenFolder", .flag = &BuildOptions::OpenFolder, .control = kCbOpenFolder, .switches = {"e"}},
    {.value = "WorkingDirectory", .choice = &BuildOptions::WorkingDirectory, .radios = kWorkingDirRadios,
     .switches = {"we", "ws", "wc"}},
    {.value = "DeleteMode", .choice = &BuildOptions::DeleteMode, .radios = kDeleteModeRadios,
     .switches = {"di", "dr", "dn"}},
    {.value = "OneInstance", .flag = &BuildOptions::OneInstance, .control = kCbOneInstance,
     .switches = {"i"}},
    {.value = "SilentMode", .flag = &BuildOptions::SilentMode, .control = kCbSilent, .switches = {"s"}},
    {.value = "SelfDeleteMode", .flag = &BuildOptions::SelfDeleteMode, .control = kCbSelfDelete,
     .switches = {"d"}},
    {.value = "UACAutoElevation", .choice = &BuildOptions::UACAutoElevation, .radios = kElevationRadios,
     .switches = {"un", "uh", "ua"}},
    {.value = "OverwriteMode", .choice = &BuildOptions::OverwriteMode, .radios = kOverwriteRadios,
     .switches = {"op", "oo", "os"}},
    {.flag = &BuildOptions::PortableNames, .switches = {"pn"}},
};
// clang-format on
inline constexpr size_t kOptionCount = std::size(kOptions);

// The row of a field; kOptionCount for a field that is no option.
template <typename Field>
size_t OptionIndex(Field BuildOptions::*field) {
    size_t i = 0;
    while (i < kOptionCount && !kOptions[i].Is(field)) ++i;
    return i;
}

// The options of the command line only, from `commandLine` into `options`.
inline void TakeCommandLineOnly(const BuildOptions& commandLine, BuildOptions& options) {
    for (const OptionRow& row : kOptions)
        if (row.flag && row.control == kNoControl) options.*row.flag = commandLine.*row.flag;
}

// Calls visit(row) for the text options that stand as positional parameters,
// in their order: the required ones in table order, then the optional ones.
// A text stands by the choices of `options` and, when announced, by
// announced(row).
template <typename Announced, typename Visit>
void ForEachPositional(const BuildOptions& options, Announced announced, Visit visit) {
    for (bool optional : {false, true})
        for (const OptionRow& row : kOptions)
            if (row.text && row.optional == optional &&
                (row.when ? options.*row.when == row.whenValue : !row.switches[0] || announced(row)))
                visit(row);
}

}  // namespace ql::ui
