// Writing the main window's state as a command line.
#include "builder/ui/cmdline_generator.h"

#include <vector>

#include "platform/text.h"

namespace ql::ui {

namespace {

struct SwitchRow {
    const char* name;
    int control;
};

// In this order; a control counts only when it is enabled and chosen.
constexpr SwitchRow kSwitches[] = {
    {"ic", kRbIconCustom},   {"me", kRbOpenFolder},
    {"mf", kRbExecuteFile},  {"ft", kRbTemp},
    {"fd", kRbDesktop},      {"fp", kRbDocuments},
    {"fc", kRbCurrent},      {"fs", kRbSelect},
    {"fm", kRbCustom},       {"e", kCbOpenFolder},
    {"we", kRbWdExtraction}, {"ws", kRbWdSource},
    {"wc", kRbWdCurrent},    {"di", kRbDmImmediately},
    {"dr", kRbDmOnReboot},   {"dn", kRbDmDoNotDelete},
    {"i", kCbOneInstance},   {"s", kCbSilent},
    {"d", kCbSelfDelete},    {"un", kRbUacNone},
    {"uh", kRbUacHighest},   {"ua", kRbUacAdministrator},
    {"op", kRbOmPrompt},     {"oo", kRbOmOverwrite},
    {"os", kRbOmSkip},
};

}  // namespace

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
    std::string line = QuotedValue(builderPath, isLead) + ' ';
    const bool customIcon = !GetIcon(panel).empty();
    for (const SwitchRow& row : kSwitches) {
        if (row.control == kRbIconCustom && !customIcon) continue;
        if (panel.IsEnabled(row.control) && panel.IsChecked(row.control))
            line += std::string("-") + row.name + ' ';
    }

    std::vector<std::string> values = {panel.Text(kESource), panel.Text(kETarget)};
    if (customIcon) values.push_back(panel.Text(kEIcon));
    if (panel.IsChecked(kRbExecuteFile)) values.push_back(panel.Text(kEExecutableFile));
    if (panel.IsEnabled(kRbCustom) && panel.IsChecked(kRbCustom)) values.push_back(panel.Text(kECustomDir));
    if (panel.IsEnabled(kECmdParameters)) values.push_back(panel.Text(kECmdParameters));
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
