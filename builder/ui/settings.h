// The options of the last build started from the window, kept for the next
// start: sixteen values under one key of the current user's registry. Every
// value is read and written in its own step, so one bad value never costs
// the others, and no failure is ever shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "builder/engine/build_options.h"
#include "builder/engine/settings_store.h"

namespace ql::ui {

// The registry as the settings use it: one key of the current user, opened
// (and created when missing) for querying and setting values. Texts are in the
// ANSI code page.
class Registry {
public:
    virtual ~Registry() = default;
    virtual bool OpenUserKey(const std::string& path) = 0;
    // False when the value does not exist; else its kind and its bytes.
    virtual bool Query(const std::string& name, uint32_t& kind, std::string& data) = 0;
    virtual bool Set(const std::string& name, uint32_t kind, const std::string& data) = 0;
    virtual void Close() = 0;
};

// Each value is either read (present) or absent: missing where a missing
// value means "leave the control as it starts", or of a kind the value
// cannot have.
struct Settings {
    std::optional<std::string> Source, Target, Icon, ExecutableFile, CmdParameters, CustomFolder;
    std::optional<uint32_t> ExtractionMode, ExtractionFolder, WorkingDirectory, DeleteMode, UACAutoElevation,
        OverwriteMode;
    std::optional<bool> OpenFolder, OneInstance, SilentMode, SelfDeleteMode;

    static Settings FromOptions(const BuildOptions& options);

    // Reads every value; all stay absent when the key cannot be opened.
    void Load(Registry& registry);
    // Writes every present value.
    void Save(Registry& registry) const;
};

// What ValidateOptions calls to remember a build's options.
class RegistrySettingsStore : public SettingsStore {
public:
    explicit RegistrySettingsStore(Registry& registry) : registry_(registry) {}
    void SaveSettings(const BuildOptions& options) override {
        Settings::FromOptions(options).Save(registry_);
    }

private:
    Registry& registry_;
};

}  // namespace ql::ui
