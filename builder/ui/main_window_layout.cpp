// The main window's controls, box by box in tab order.
#include "builder/ui/control_ids.h"
#include "builder/ui/layout.h"
#include "builder/ui/maker.h"

namespace ql::ui {

namespace {

using K = ControlKind;
using T = TextId;

// One row per control, as the window shows them.
// clang-format off

constexpr ControlSpec kControls[] = {
    {kGbSourceTarget, K::GroupBox, T::SourceAndTargetBox, {8, 8, 481, 225}},
    {kLSource, K::Label, T::SourceLabel, {12, 20, 385, 13}, kGbSourceTarget},
    {kESource, K::Edit, "", {12, 36, 385, 21}, kGbSourceTarget},
    {kBSource, K::Button, T::Browse, {403, 35, 66, 23}, kGbSourceTarget},
    {kLTarget, K::Label, T::TargetLabel, {12, 66, 385, 13}, kGbSourceTarget},
    {kETarget, K::Edit, "", {12, 82, 385, 21}, kGbSourceTarget},
    {kBTarget, K::Button, T::Browse, {403, 81, 66, 23}, kGbSourceTarget},
    {kLIcon, K::Label, T::IconLabel, {12, 112, 385, 13}, kGbSourceTarget},
    {kRbIconDefault, K::Radio, T::DefaultIcon, {12, 130, 457, 17}, kGbSourceTarget, true},
    {kRbIconCustom, K::Radio, T::CustomIcon, {12, 150, 457, 17}, kGbSourceTarget},
    {kEIcon, K::Edit, "", {28, 172, 369, 21}, kGbSourceTarget, true},
    {kBIcon, K::Button, T::Browse, {403, 171, 66, 23}, kGbSourceTarget},

    {kGbExtractionMode, K::GroupBox, T::ExtractionModeBox, {8, 240, 481, 337}},
    {kRbOpenFolder, K::Radio, T::ExtractOnly, {12, 20, 457, 17}, kGbExtractionMode, true},
    {kCbOpenFolder, K::CheckBox, T::OpenFolderAfterwards, {28, 40, 441, 17}, kGbExtractionMode},
    {kRbExecuteFile, K::Radio, T::ExtractAndRun,
     {12, 62, 457, 30}, kGbExtractionMode},
    {kLExecutableFile, K::Label, T::ProgramLabel, {28, 96, 369, 13},
     kGbExtractionMode, true},
    {kEExecutableFile, K::Edit, "", {28, 112, 369, 21}, kGbExtractionMode},
    {kBExecutableFile, K::Button, T::Browse, {403, 111, 66, 23}, kGbExtractionMode},
    {kLCmdParameters, K::Label, T::ParametersLabel, {28, 140, 369, 13}, kGbExtractionMode},
    {kECmdParameters, K::Edit, "", {28, 156, 441, 21}, kGbExtractionMode, false, 2047},
    {kLWorkingDir, K::Label, T::WorkingFolderLabel, {28, 186, 441, 13}, kGbExtractionMode},
    {kRbWdExtraction, K::Radio, T::WorkInExtractionFolder, {40, 202, 429, 17}, kGbExtractionMode, true},
    {kRbWdSource, K::Radio, T::WorkInSfxFolder, {40, 220, 429, 17}, kGbExtractionMode},
    {kRbWdCurrent, K::Radio, T::WorkInCurrentFolder, {40, 238, 429, 17}, kGbExtractionMode},
    {kLDeleteMode, K::Label, T::DeleteModeLabel, {28, 262, 441, 13}, kGbExtractionMode, true},
    {kRbDmImmediately, K::Radio, T::DeleteAfterRun, {40, 278, 429, 17}, kGbExtractionMode, true},
    {kRbDmOnReboot, K::Radio, T::DeleteAtRestart, {40, 296, 429, 17}, kGbExtractionMode},
    {kRbDmDoNotDelete, K::Radio, T::DeleteNever, {40, 314, 429, 17}, kGbExtractionMode},

    {kGbExtractionFolder, K::GroupBox, T::ExtractionFolderBox, {496, 8, 289, 225}},
    {kRbTemp, K::Radio, T::FolderTemp, {12, 20, 265, 17}, kGbExtractionFolder, true},
    {kRbDesktop, K::Radio, T::FolderDesktop, {12, 40, 265, 17}, kGbExtractionFolder},
    {kRbDocuments, K::Radio, T::FolderDocuments, {12, 60, 265, 17}, kGbExtractionFolder},
    {kRbCurrent, K::Radio, T::FolderCurrent, {12, 80, 265, 17}, kGbExtractionFolder},
    {kRbSelect, K::Radio, T::FolderAsk, {12, 100, 265, 17}, kGbExtractionFolder},
    {kRbCustom, K::Radio, T::FolderCustom, {12, 120, 265, 17}, kGbExtractionFolder},
    {kECustomDir, K::Edit, "", {28, 142, 249, 21}, kGbExtractionFolder, true, 259},
    {kLCustom, K::Label, T::CustomFolderExample, {28, 168, 249, 13}, kGbExtractionFolder},
    {kBEnvVars, K::Button, T::ShowEnvironment, {28, 188, 249, 25}, kGbExtractionFolder},

    {kGbAdvanced, K::GroupBox, T::AdvancedBox, {496, 240, 289, 337}},
    {kCbOneInstance, K::CheckBox, T::OneInstance, {12, 20, 265, 30}, kGbAdvanced, true},
    {kCbSilent, K::CheckBox, T::SilentMode, {12, 54, 265, 30}, kGbAdvanced},
    {kCbSelfDelete, K::CheckBox, T::SelfDeleteMode, {12, 88, 265, 30}, kGbAdvanced},
    {kLUacAutoElevation, K::Label, T::ElevationLabel, {12, 126, 265, 13}, kGbAdvanced},
    {kRbUacNone, K::Radio, T::ElevationNone, {24, 144, 253, 17}, kGbAdvanced, true},
    {kRbUacHighest, K::Radio, T::ElevationHighest, {24, 162, 253, 17}, kGbAdvanced},
    {kRbUacAdministrator, K::Radio, T::ElevationAdministrator, {24, 180, 253, 17}, kGbAdvanced},
    {kLOverwriteMode, K::Label, T::OverwriteLabel, {12, 210, 265, 13}, kGbAdvanced, true},
    {kRbOmPrompt, K::Radio, T::OverwriteAsk, {24, 228, 253, 17}, kGbAdvanced, true},
    {kRbOmOverwrite, K::Radio, T::OverwriteAll, {24, 246, 253, 17}, kGbAdvanced},
    {kRbOmSkip, K::Radio, T::OverwriteNone, {24, 264, 253, 17}, kGbAdvanced},

    {kLAbout, K::Link, T::About, {8, 600, 80, 13}, 0, true},
    {kLWeb, K::Link, ShownAddress(kWebAddress), {96, 600, 100, 13}},
    {kLDonate, K::Link, T::Donate, {201, 600, 72, 13}},
    {kLCmdLine, K::Link, T::CommandLineHelp, {280, 600, 144, 13}},
    {kLCmdLineGen, K::Link, T::GenerateCommandLine, {432, 600, 200, 13}},
    {kBMake, K::DefaultButton, T::MakeSfx, {640, 584, 145, 33}},
};

// clang-format on

}  // namespace

const WindowSpec kMainWindow{"Tfquillon", "Quillon", 792, 624, kControls};

}  // namespace ql::ui
