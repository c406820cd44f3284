// Environment entries split into the variable list's key and value.
#include "builder/ui/environment_rows.h"

#include <utility>

namespace ql::ui {

std::vector<EnvironmentRow> EnvironmentRows(const std::vector<std::string>& entries) {
    std::vector<EnvironmentRow> rows;
    for (const std::string& entry : entries) {
        if (entry.empty()) continue;
        const size_t equals = entry.find('=');
        EnvironmentRow row;
        row.key.reserve(equals == std::string::npos ? entry.size() + 2 : equals + 2);
        row.key += '%';
        row.key.append(entry, 0, equals);
        row.key += '%';
        if (equals != std::string::npos) row.value = entry.substr(equals + 1);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace ql::ui
