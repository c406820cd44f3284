// Normalisation and the checks that run before a build.
#include "builder/engine/options_check.h"

#include "builder/resources/texts.h"
#include "platform/filesystem.h"
#include "platform/text.h"

namespace ql {

void NormaliseOptions(BuildOptions& o) {
    o.Source = platform::WithTrailingDelimiter(platform::FullPath(platform::TrimText(o.Source)));
    o.Target = platform::FullPath(platform::TrimText(o.Target));
    o.ExecutableFile = platform::FullPath(platform::TrimText(o.ExecutableFile));
    o.CmdParameters = platform::TrimText(o.CmdParameters);
    // The custom folder is a path on the machine that runs the SFX file, so it
    // ends with a backslash whichever system builds.
    o.CustomFolder = platform::TrimText(o.CustomFolder);
    if (!o.CustomFolder.empty() && !platform::EndsWithCharacter(o.CustomFolder, '\\')) o.CustomFolder += '\\';
}

bool ValidateOptions(const BuildOptions& given, BuildEnvironment& env) {
    BuildOptions o = given;
    NormaliseOptions(o);
    if (!env.parametersComplete && env.settings) env.settings->SaveSettings(o);

    auto display = [](const std::string& native) { return platform::ToDisplay(native); };
    if (!platform::FolderExists(o.Source)) {
        env.dialogs.ShowError(platform::FillPattern(Tr(TextId::SourceMissing), {display(o.Source)}));
        return false;
    }
    // A command line may give the icon with blanks around it; the window trims it.
    if (const std::string icon = platform::TrimText(o.Icon); !icon.empty() && !platform::FileExists(icon)) {
        env.dialogs.ShowError(platform::FillPattern(Tr(TextId::IconMissing), {display(icon)}));
        return false;
    }
    if (o.ExtractionMode == kExtractAndRun) {
        if (!platform::FileExists(o.ExecutableFile)) {
            env.dialogs.ShowError(
                platform::FillPattern(Tr(TextId::ProgramMissing), {display(o.ExecutableFile)}));
            return false;
        }
        // Source ends with the delimiter, so a sibling folder sharing the
        // source's name as a prefix does not pass.
        if (!platform::PathStartsWith(o.ExecutableFile, o.Source)) {
            env.dialogs.ShowError(platform::FillPattern(Tr(TextId::ProgramOutsideSource),
                                                        {display(o.ExecutableFile), display(o.Source)}));
            return false;
        }
    }
    if (!env.overwriteTarget && platform::FileExists(o.Target))
        return env.dialogs.AskConfirmation(Tr(TextId::ReplaceTarget), false);
    return true;
}

}  // namespace ql
