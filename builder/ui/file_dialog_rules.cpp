// Filter choice and extension rules of the file dialogs.
#include "builder/ui/file_dialog_rules.h"

#include <algorithm>

namespace ql::ui {

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::vector<FilterPair> SplitFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t bar; (bar = filter.find('|', start)) != std::string::npos; start = bar + 1)
        parts.push_back(filter.substr(start, bar - start));
    parts.push_back(filter.substr(start));
    std::vector<FilterPair> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.push_back({parts[i], parts[i + 1]});
    return pairs;
}

// UTF-8 text: no byte of a multi-byte character looks like "\", "/" or ".".
std::string ExtensionOf(const std::string& path) {
    const size_t name = path.find_last_of("\\/:");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return {};
    return path.substr(dot);
}

int FilterIndexFor(const std::string& filter, const std::string& text, int current) {
    const std::string extension = Lower(ExtensionOf(text));
    if (extension.empty()) return current;
    const std::vector<FilterPair> pairs = SplitFilter(filter);
    for (size_t i = 0; i < pairs.size(); ++i)
        if (Lower(ExtensionOf(pairs[i].pattern)) == extension) return static_cast<int>(i) + 1;
    return static_cast<int>(pairs.size());
}

std::string WithFilterExtension(const std::string& filter, int index, const std::string& chosen) {
    if (!ExtensionOf(chosen).empty()) return chosen;
    const std::vector<FilterPair> pairs = SplitFilter(filter);
    if (index < 1 || index > static_cast<int>(pairs.size())) return chosen;
    const std::string extension = ExtensionOf(pairs[static_cast<size_t>(index) - 1].pattern);
    return extension == ".*" ? chosen : chosen + extension;
}

}  // namespace ql::ui
