// The stub's four short texts in 39 languages, and the choice of the row that
// matches the system. Each row's texts are bytes of that row's code page.
#pragma once

#include <stdint.h>

namespace ql::stub {

enum class TextKind : uint8_t { Initialization, PleaseWait, ExtractTo, OverwriteFile };

constexpr int kLanguageRows = 39;

// The row whose primary language id and ANSI code page both match; 0 (English)
// when none does. `languageId` is the full system language id; its low 8 bits
// are the primary language.
uint8_t ChooseLanguageRow(uint16_t languageId, uint32_t ansiCodePage);

// The text of `kind` in `row` (row 0 for an out-of-range row), zero-terminated.
const char* StubText(uint8_t row, TextKind kind);

}  // namespace ql::stub
