// Normalising and checking build options before a build.
#pragma once

#include "builder/engine/build_environment.h"
#include "builder/engine/build_options.h"

namespace ql {

// Trims the texts, makes Source, Target and ExecutableFile full paths, ends
// Source with the path delimiter and CustomFolder with a backslash. Icon is
// left as it is.
void NormaliseOptions(BuildOptions& options);

// True when the build may go ahead. Shows its own messages; may ask before an
// existing target is replaced.
bool ValidateOptions(const BuildOptions& options, BuildEnvironment& env);

// Removes leading and trailing blanks and control characters (codes 0 to 32).
std::string TrimText(const std::string& text);

// Appends the delimiter unless the text is empty or already ends with it.
std::string WithTrailingDelimiter(const std::string& path);

// Replaces each "%s" of the pattern, in order, by the next argument.
std::string FillPattern(const std::string& pattern, std::initializer_list<std::string> arguments);

}  // namespace ql
