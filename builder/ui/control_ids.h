// The control ids of every window of the desktop builder, in one place, so
// that the layout tables, the handlers and the end-to-end tests (which find
// controls by these numbers) agree.
#pragma once

namespace ql::ui {

enum ControlId : int {
    kNoControl = 0,

    // Main window: source and target.
    kGbSourceTarget = 100,
    kLSource,
    kESource,
    kBSource,
    kLTarget,
    kETarget,
    kBTarget,
    kLIcon,
    kRbIconDefault,
    kRbIconCustom,
    kEIcon,
    kBIcon,

    // Main window: extraction mode.
    kGbExtractionMode = 200,
    kRbOpenFolder,
    kCbOpenFolder,
    kRbExecuteFile,
    kLExecutableFile,
    kEExecutableFile,
    kBExecutableFile,
    kLCmdParameters,
    kECmdParameters,
    kLWorkingDir,
    kRbWdExtraction,
    kRbWdSource,
    kRbWdCurrent,
    kLDeleteMode,
    kRbDmImmediately,
    kRbDmOnReboot,
    kRbDmDoNotDelete,

    // Main window: extraction folder.
    kGbExtractionFolder = 300,
    kRbTemp,
    kRbDesktop,
    kRbDocuments,
    kRbCurrent,
    kRbSelect,
    kRbCustom,
    kECustomDir,
    kLCustom,
    kBEnvVars,

    // Main window: advanced options.
    kGbAdvanced = 400,
    kCbOneInstance,
    kCbSilent,
    kCbSelfDelete,
    kLUacAutoElevation,
    kRbUacNone,
    kRbUacHighest,
    kRbUacAdministrator,
    kLOverwriteMode,
    kRbOmPrompt,
    kRbOmOverwrite,
    kRbOmSkip,

    // Main window: bottom row.
    kLAbout = 500,
    kLWeb,
    kLDonate,
    kLCmdLine,
    kLCmdLineGen,
    kBMake,

    // Progress window.
    kLFile = 600,
    kLProgressSource,
    kPbFile,
    kLTotal,
    kLProgressTarget,
    kPbTotal,
    kLLSize,
    kLSize,
    kBCancel,

    // About window.
    kAboutIcon = 700,
    kAboutTitle,
    kAboutVersion,
    kAboutCredit,
    kAboutNotice,
    kAboutWebLabel,
    kAboutWebLink,
    kAboutMailLabel,
    kAboutMailLink,
    kAboutOk,

    // Command-line generator, help and environment variables windows.
    kMCmdLine = 800,
    kBCopy,
    kBClose,
    kVleEnvVars,
    kLTip,
};

}  // namespace ql::ui
