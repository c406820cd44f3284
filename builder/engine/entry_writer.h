// Writes container entries at the end of the open target file.
#pragma once

#include <cstddef>

#include "builder/engine/build_run.h"

namespace ql {

// Writes the entry of run.items[index]; writes nothing when that item is the
// target file itself.
void WriteEntry(BuildRun& run, size_t index);

// Writes the entry of the self-delete helper image.
void WriteHelperEntry(BuildRun& run);

// Writes bytes to the target; a failure or a short write raises an I/O error.
void WriteToTarget(BuildRun& run, const void* data, size_t length);

}  // namespace ql
