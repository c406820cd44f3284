// Start-up settings that only the POSIX side of the platform layer needs.
#pragma once

namespace ql::platform {

// Keeps argv so that CommandLineText() can rebuild the command line.
void SetArguments(int argc, char** argv);

// Selects the Windows code page that names are stored in; false for one that
// is no Windows ANSI or OEM code page keeping ASCII, or that iconv does not know.
bool SetAnsiCodePage(int codePage);

}  // namespace ql::platform
