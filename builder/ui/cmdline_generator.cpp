// Writing the main window's state as a command line.
#include "builder/ui/cmdline_generator.h"

#include <vector>

#include "platform/text.h"

namespace ql::ui {

std::string QuotedValue(const std::string& value, LeadByteTest isLead) {
    const std::string text = platform::TrimText(value);
    if (text.empty()) return text;
    const bool looksLikeSwitch = text[0] == '-' || text[0] == '/';
    bool quote = looksLikeSwitch;
    std::string escaped = looksLikeSwitch ? " " : "";
    size_t backslashes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isLead && isLead(c) && i + 1 < text.size()) {
            escaped.append(text, i++, 2);
            backslashes = 0;
            continue;
        }
        if (c == '"') escaped.append(backslashes + 1, '\\');  // n backslashes then a quote: 2n + 1 of them
        quote = quote || c <= ' ';
        backslashes = c == '\\' ? backslashes + 1 : 0;
        escaped += static_cast<char>(c);
    }
    if (!quote) return escaped;
    // Inside quotes, backslashes right before the closing quote are doubled.
    std::string quoted(1, '"');
    quoted += escaped;
    quoted.append(backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string GenerateCommandLine(const ControlPanel& panel, const std::string& builderPath,
                                LeadByteTest isLead) {
    const BuildOptions options = ReadOptions(panel);
    std::string line = QuotedValue(builderPath, isLead) + ' ';
    // A control counts only when it is enabled and chosen; an announced text
    // (the icon) when it is not empty.
    auto chosen = [&panel](int id) { return panel.IsEnabled(id) && panel.IsChecked(id); };
    auto announced = [&options](const OptionRow& row) { return !(options.*row.text).empty(); };
    auto add = [&line](const char* name) { line += std::string("-") + name + ' '; };
    for (const OptionRow& row : kOptions) {
        if (row.text && row.switches[0] && announced(row)) add(row.switches[0]);
        if (row.flag && row.control != kNoControl && chosen(row.control)) add(row.switches[0]);
        for (size_t i = 0; row.choice && i < row.radios.size(); ++i)
            if (chosen(row.radios[i])) add(row.switches[i]);
    }

    std::vector<std::string> values;
    ForEachPositional(options, announced, [&](const OptionRow& row) { values.push_back(options.*row.text); });
    // Positions count: an empty value before a written one stands as "", so
    // that the values behind it keep their places; empty ones at the end go.
    while (!values.empty() && platform::TrimText(values.back()).empty()) values.pop_back();
    for (const std::string& value : values) {
        const std::string quoted = QuotedValue(value, isLead);
        line += (quoted.empty() ? std::string("\"\"") : quoted) + ' ';
    }
    return platform::TrimText(line);
}

}  // namespace ql::ui
