// The options of the last build started from the window, kept for the next
// start: a value for each option the window shows, under one key of the
// current user's registry. Every value is read and written in its own step,
// so one bad value never costs the others, and no failure is ever shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "builder/engine/build_options.h"
#include "builder/engine/settings_store.h"
#include "builder/ui/option_table.h"

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
// cannot have. Values stand by the index of their row in kOptions.
struct Settings {
    std::array<std::optional<std::string>, kOptionCount> texts;
    std::array<std::optional<bool>, kOptionCount> flags;
    std::array<std::optional<uint32_t>, kOptionCount> choices;  // as stored, also out of range

    std::optional<std::string>& operator[](std::string BuildOptions::*f) { return texts.at(OptionIndex(f)); }
    std::optional<bool>& operator[](bool BuildOptions::*f) { return flags.at(OptionIndex(f)); }
    std::optional<uint32_t>& operator[](uint8_t BuildOptions::*f) { return choices.at(OptionIndex(f)); }

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
