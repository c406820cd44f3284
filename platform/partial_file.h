// The file a build writes beside its target before it takes the target's
// place. A build that is killed cannot take it away, so the next build to the
// same target does, unless a running build still claims it; and an interrupt
// of this process (Ctrl-C, a request to terminate, the terminal or console
// going away) deletes the claimed file before the process ends.
#pragma once

#include <string>

namespace ql::platform {

// Claims `path`, which exists and is being written by this process; one file
// at a time. After an interrupt the process deletes it and ends with 128 plus
// the signal's number on POSIX (130 for Ctrl-C, 143 for a request to end, 129
// for a lost terminal), with STATUS_CONTROL_C_EXIT on Windows.
void ClaimPartialFile(const std::string& path);

// Ends the claim, before the file is renamed into place or deleted.
void ReleasePartialFile();

// Deletes `path` when it is a plain file that no running build claims: the
// leftover of a killed build. True when it was deleted.
bool RemoveLeftover(const std::string& path);

}  // namespace ql::platform
