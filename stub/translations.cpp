// The text table (generated, see make_translations.py) and the row choice.
#include "stub/translations.h"

namespace ql::stub {

namespace {

struct LanguageRow {
    uint8_t primary;
    uint16_t codePage;
};

// kRows, and kTexts: no pointer per row or text, the texts follow each other.
#include "stub/translations_table.inc"

}  // namespace

uint8_t ChooseLanguageRow(uint16_t languageId, uint32_t ansiCodePage) {
    const uint8_t primary = static_cast<uint8_t>(languageId & 0xFF);
    uint8_t row = 0;
    for (uint8_t i = 1; i < kLanguageRows; ++i)
        if (kRows[i].primary == primary && kRows[i].codePage == ansiCodePage) row = i;
    return row;
}

const char* StubText(uint8_t row, TextKind kind) {
    if (row >= kLanguageRows) row = 0;
    const char* text = kTexts;
    for (int k = row * 4 + static_cast<int>(kind); k > 0; --k)
        while (*text++) {
        }
    return text;
}

}  // namespace ql::stub
