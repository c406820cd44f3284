// The process-wide cancel flag: the progress window's cancel button sets it,
// BuildSfx clears it, and the build loops look at it between chunks and
// entries. Atomic because the button and the build may run on different threads.
#pragma once

#include <atomic>

namespace ql {

inline std::atomic<bool> CancelRequested{false};

}  // namespace ql
