// The columns of the texts table and the language that reads them.
#include "builder/resources/texts.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <iterator>

namespace ql {

namespace {

struct TextRow {
    const char* chinese;
    const char* english;
};

constexpr TextRow kTexts[] = {
#define QL_TEXT(id, chinese, english) {chinese, english},
#include "builder/resources/texts_table.inc"
#undef QL_TEXT
};
static_assert(std::size(kTexts) == static_cast<size_t>(TextId::Count));

Language g_language = Language::Chinese;

}  // namespace

const char* TextIn(TextId id, Language language) {
    const TextRow& row = kTexts[static_cast<size_t>(id)];
    return language == Language::English ? row.english : row.chinese;
}

const char* Tr(TextId id) { return TextIn(id, g_language); }

void SetTextLanguage(Language language) { g_language = language; }

Language TextLanguage() { return g_language; }

Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* locale : {lcAll, lcMessages, lang})
        if (locale && *locale)
            return std::strncmp(locale, "zh", 2) == 0 ? Language::Chinese : Language::English;
    return Language::English;
}

}  // namespace ql
