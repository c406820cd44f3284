// The rows of the environment variables window: one per entry of the
// process's environment block, in the block's order.
#pragma once

#include <string>
#include <vector>

namespace ql::ui {

struct EnvironmentRow {
    std::string key;  // the name in percent signs, ready to insert: "%PATH%"
    std::string value;
};

// Entries "name=value"; the hidden ones of the system ("=C:=C:\x") have an
// empty name and so the key "%%". Empty entries are left out.
std::vector<EnvironmentRow> EnvironmentRows(const std::vector<std::string>& entries);

}  // namespace ql::ui
