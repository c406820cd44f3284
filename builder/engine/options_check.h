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

}  // namespace ql
