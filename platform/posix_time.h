// Local time on POSIX as Windows reckons it for file times.
#pragma once

#include <optional>

namespace ql::platform {

// Today's offset of local time from UTC in seconds (east of Greenwich is
// positive); nothing when the system cannot tell. Windows turns file times
// between UTC and local time with today's offset, whatever offset was in force
// at the file's time; the builder and --extract do the same, so stored times
// make the round trip exactly.
std::optional<long> TodaysUtcOffset();

}  // namespace ql::platform
