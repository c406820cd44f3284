// The command line that makes the builder build what the main window shows,
// in the builder's own syntax: its path, the switches of the enabled and
// chosen controls, then the positional parameters.
#pragma once

#include <string>

#include "builder/ui/main_window_rules.h"
#include "shared/ansi_text.h"

namespace ql::ui {

// `builderPath` and the control texts are ANSI text; `isLead` tells the
// double-byte characters of its code page, so that a trail byte 0x5C is not
// taken for a backslash.
std::string GenerateCommandLine(const ControlPanel& panel, const std::string& builderPath,
                                LeadByteTest isLead);

// One value as the builder's tokenizer reads it back: trimmed, quotes
// escaped, enclosed in quotes when it holds a blank or another character
// that ends an argument; backslashes doubled only where they stand before a
// quote. A value that begins with "-" or "/" is quoted behind a blank, so that
// it is not taken for a switch (the builder trims values before use). Empty
// when nothing is left after trimming.
std::string QuotedValue(const std::string& value, LeadByteTest isLead);

}  // namespace ql::ui
