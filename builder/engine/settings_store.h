// Where a build from the window remembers its options.
#pragma once

#include "builder/engine/build_options.h"

namespace ql {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual void SaveSettings(const BuildOptions& options) = 0;  // failures stay silent
};

}  // namespace ql
