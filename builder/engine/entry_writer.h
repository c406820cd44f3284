// Writes container entries at the end of the open target file.
#pragma once

#include <cstddef>

#include "builder/engine/build_run.h"

namespace ql {

// Writes the self-delete helper's entry when the options ask for it, then the
// entries of run.items in order (nothing for the target file itself), until
// the list ends or CancelRequested is seen. Files are read and their chunks
// packed by worker threads ahead of the writing (run.env.packingThreads
// packers); the bytes written and the progress reports are those of a build
// on one thread.
void WriteEntries(BuildRun& run);

// Writes bytes to the target through a buffer; a failure or a short write
// raises an I/O error.
void WriteToTarget(BuildRun& run, const void* data, size_t length);

// Writes what the buffer holds; done before the target is closed.
void FlushTarget(BuildRun& run);

}  // namespace ql
