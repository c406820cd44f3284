// Start-up settings that only the POSIX side of the platform layer needs.
#pragma once

namespace ql::platform {

// Keeps argv so that CommandLineText() can rebuild the command line.
void SetArguments(int argc, char** argv);

}  // namespace ql::platform
