// The current user's registry, as the settings use it.
#pragma once

#include <windows.h>

#include "builder/ui/settings.h"

namespace ql::ui {

class UserRegistry final : public Registry {
public:
    ~UserRegistry() override { Close(); }
    bool OpenUserKey(const std::string& path) override;
    bool Query(const std::string& name, uint32_t& kind, std::string& data) override;
    bool Set(const std::string& name, uint32_t kind, const std::string& data) override;
    void Close() override;

private:
    HKEY key_ = nullptr;
};

}  // namespace ql::ui
