// Finding rows of the option table and the order of the positional parameters.
#include "builder/ui/option_table.h"

#include <vector>

namespace ql::ui {

namespace {

template <typename Match>
size_t FindRow(Match match) {
    size_t i = 0;
    while (i < kOptionCount && !match(kOptions[i])) ++i;
    return i;
}

}  // namespace

size_t OptionIndex(std::string BuildOptions::*field) {
    return FindRow([field](const OptionRow& row) { return row.text == field; });
}

size_t OptionIndex(bool BuildOptions::*field) {
    return FindRow([field](const OptionRow& row) { return row.flag == field; });
}

size_t OptionIndex(uint8_t BuildOptions::*field) {
    return FindRow([field](const OptionRow& row) { return row.choice == field; });
}

std::span<const OptionRow* const> PositionalOptions() {
    static const std::vector<const OptionRow*> order = [] {
        std::vector<const OptionRow*> rows;
        for (bool optional : {false, true})
            for (const OptionRow& row : kOptions)
                if (row.text && row.optional == optional) rows.push_back(&row);
        return rows;
    }();
    return order;
}

bool Stands(const OptionRow& row, const BuildOptions& options, bool announced) {
    if (row.when) return options.*row.when == row.whenValue;
    return row.switches[0] == nullptr || announced;
}

}  // namespace ql::ui
