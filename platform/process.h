// The running builder process: its command line and where it lives.
#pragma once

#include <string>

namespace ql::platform {

// The raw command-line text, program path first, as Windows hands it over.
// On POSIX it is rebuilt from argv with quoting that the builder's tokenizer
// reads back into the same arguments.
std::string CommandLineText();

// The full path of the running program file.
std::string ModulePath();

// Whether the system belongs to the Windows NT family (always true off Windows).
bool IsNtFamily();

}  // namespace ql::platform
