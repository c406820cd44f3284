// Environment entries split into the variable list's key and value.
#include "builder/ui/environment_rows.h"

namespace ql::ui {

std::vector<EnvironmentRow> EnvironmentRows(const std::vector<std::string>& entries) {
    std::vector<EnvironmentRow> rows;
    for (const std::string& entry : entries) {
        if (entry.empty()) continue;
        const size_t equals = entry.find('=');
        if (equals == std::string::npos)
            rows.push_back({"%" + entry + "%", ""});
        else
            rows.push_back({"%" + entry.substr(0, equals) + "%", entry.substr(equals + 1)});
    }
    return rows;
}

}  // namespace ql::ui
