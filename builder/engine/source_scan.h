// Lists the whole source tree, depth first, each folder before its contents.
#pragma once

#include "builder/engine/build_run.h"

namespace ql {

// Appends every file and folder below run.options.Source to run.items. A folder
// that cannot be listed contributes nothing; no error is raised.
void ScanSourceTree(BuildRun& run);

}  // namespace ql
