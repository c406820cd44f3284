// Normalisation and the checks that run before a build.
#include "builder/engine/options_check.h"

#include "platform/filesystem.h"
#include "platform/text.h"

namespace ql {

std::string TrimText(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

std::string WithTrailingDelimiter(const std::string& path) {
    char delimiter = platform::PathDelimiter();
    if (path.empty() || platform::EndsWithCharacter(path, delimiter)) return path;
    return path + delimiter;
}

std::string FillPattern(const std::string& pattern, std::initializer_list<std::string> arguments) {
    std::string result;
    auto next = arguments.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next != arguments.end()) {
            result += *next++;
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

void NormaliseOptions(BuildOptions& o) {
    o.Source = WithTrailingDelimiter(platform::FullPath(TrimText(o.Source)));
    o.Target = platform::FullPath(TrimText(o.Target));
    o.ExecutableFile = platform::FullPath(TrimText(o.ExecutableFile));
    o.CmdParameters = TrimText(o.CmdParameters);
    // The custom folder is a path on the machine that runs the SFX file, so it
    // ends with a backslash whichever system builds.
    o.CustomFolder = TrimText(o.CustomFolder);
    if (!o.CustomFolder.empty() && !platform::EndsWithCharacter(o.CustomFolder, '\\')) o.CustomFolder += '\\';
}

bool ValidateOptions(const BuildOptions& given, BuildEnvironment& env) {
    BuildOptions o = given;
    NormaliseOptions(o);
    if (!env.parametersComplete && env.settings) env.settings->SaveSettings(o);

    auto display = [](const std::string& native) { return platform::ToDisplay(native); };
    if (!platform::FolderExists(o.Source)) {
        env.dialogs.ShowError(FillPattern("源文件夹不存在\r\n\r\n%s", {display(o.Source)}));
        return false;
    }
    // A command line may give the icon with blanks around it; the window trims it.
    if (const std::string icon = TrimText(o.Icon); !icon.empty() && !platform::FileExists(icon)) {
        env.dialogs.ShowError(FillPattern("The icon file does not exist\r\n\r\n%s", {display(icon)}));
        return false;
    }
    if (o.ExtractionMode == 1) {
        if (!platform::FileExists(o.ExecutableFile)) {
            env.dialogs.ShowError(FillPattern("可执行文件不存在\r\n\r\n%s", {display(o.ExecutableFile)}));
            return false;
        }
        // Source ends with the delimiter, so a sibling folder sharing the
        // source's name as a prefix does not pass.
        if (!platform::PathStartsWith(o.ExecutableFile, o.Source)) {
            env.dialogs.ShowError(FillPattern("可执行文件\r\n%s\r\n\r\n不是在源文件夹\r\n%s",
                                              {display(o.ExecutableFile), display(o.Source)}));
            return false;
        }
    }
    if (!env.overwriteTarget && platform::FileExists(o.Target))
        return env.dialogs.AskConfirmation("该文件己经存在，你要覆盖它吗?", false);
    return true;
}

}  // namespace ql
