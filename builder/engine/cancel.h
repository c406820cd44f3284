// The process-wide cancel flag: the progress window's cancel button sets it,
// BuildSfx clears it, and the build loops look at it between chunks and entries.
#pragma once

namespace ql {

inline bool CancelRequested = false;

}  // namespace ql
