// Registry access through the ANSI functions: the settings hold ANSI texts.
#include "builder/ui/registry_win.h"

namespace ql::ui {

bool UserRegistry::OpenUserKey(const std::string& path) {
    Close();
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                           nullptr, &key_, nullptr) == ERROR_SUCCESS;
}

bool UserRegistry::Query(const std::string& name, uint32_t& kind, std::string& data) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    data.assign(size, '\0');
    if (size > 0 && RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                     &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    kind = type;
    return true;
}

bool UserRegistry::Set(const std::string& name, uint32_t kind, const std::string& data) {
    return RegSetValueExA(key_, name.c_str(), 0, kind, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

void UserRegistry::Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
}

}  // namespace ql::ui
