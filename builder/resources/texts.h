// The builder's texts: every message, caption and label it shows, one row
// each in texts_table.inc, with a column for every language it speaks. The
// Windows builder speaks Chinese; the Linux builder follows the locale.
#pragma once

#include <cstdint>

namespace ql {

enum class TextId : uint16_t {
#define QL_TEXT(id, chinese, english) id,
#include "builder/resources/texts_table.inc"
#undef QL_TEXT
    Count
};

enum class Language : uint8_t { Chinese, English };

// The text in the language chosen for the program (UTF-8).
const char* Tr(TextId id);
// The text in the given language.
const char* TextIn(TextId id, Language language);

// Chooses the language of Tr; Chinese unless chosen otherwise.
void SetTextLanguage(Language language);
Language TextLanguage();

// The language of a locale as gettext finds it: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty decides (null: not set);
// Chinese for a locale whose language is "zh", English for any other or none.
Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace ql
