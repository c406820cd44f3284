// The main window's file dialogs: their filters, which filter a field's
// current text selects, and the extension a chosen name without one gets.
// Texts are UTF-8 (the dialogs work in the wide API).
#pragma once

#include <string>
#include <vector>

namespace ql::ui {

// Filters as "description|pattern|description|pattern..." (TextId::TargetFilter,
// ExecutableFilter and IconFilter).
struct FilterPair {
    std::string description, pattern;
};
std::vector<FilterPair> SplitFilter(const std::string& filter);

// The extension of the name part of a path, with its dot ("" when none).
std::string ExtensionOf(const std::string& path);

// The 1-based filter a field's text selects: the first pair whose pattern has
// the text's extension (without regard to case), else the last pair; a text
// without extension keeps `current`.
int FilterIndexFor(const std::string& filter, const std::string& text, int current);

// A chosen name without extension gets the extension of the selected
// filter's pattern, unless that pattern is "*.*".
std::string WithFilterExtension(const std::string& filter, int index, const std::string& chosen);

}  // namespace ql::ui
