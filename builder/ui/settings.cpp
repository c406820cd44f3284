// The registry key of the settings, the kinds of their values, and the rules
// for reading them back; the value names are the option table's.
#include "builder/ui/settings.h"

#include "shared/container.h"

namespace ql::ui {

namespace {

constexpr char kKeyPath[] = "Software\\Tarnwick\\Quillon";

// Value kinds of the registry.
constexpr uint32_t kString = 1;        // REG_SZ
constexpr uint32_t kExpandString = 2;  // REG_EXPAND_SZ
constexpr uint32_t kNumber = 4;        // REG_DWORD, little-endian

// A missing or empty string value reads as empty; data of another kind makes
// it unreadable. The text ends at its first zero byte.
void Read(Registry& registry, const char* name, std::optional<std::string>& text) {
    uint32_t kind = 0;
    std::string data;
    if (!registry.Query(name, kind, data) || data.empty()) {
        text = std::string();
    } else if (kind == kString || kind == kExpandString) {
        text = data.substr(0, data.find('\0'));
    }
}

void Read(Registry& registry, const char* name, std::optional<uint32_t>& number) {
    uint32_t kind = 0;
    std::string data;
    if (registry.Query(name, kind, data) && kind == kNumber && data.size() == 4)
        number = ReadLE32(reinterpret_cast<const uint8_t*>(data.data()));
}

void Read(Registry& registry, const char* name, std::optional<bool>& flag) {
    std::optional<uint32_t> number;
    Read(registry, name, number);
    if (number) flag = *number != 0;
}

void Write(Registry& registry, const char* name, const std::optional<std::string>& text) {
    if (text) registry.Set(name, kString, *text + '\0');
}

void Write(Registry& registry, const char* name, const std::optional<uint32_t>& number) {
    if (!number) return;
    uint8_t data[4];
    WriteLE32(data, *number);
    registry.Set(name, kNumber, std::string(reinterpret_cast<const char*>(data), sizeof data));
}

void Write(Registry& registry, const char* name, const std::optional<bool>& flag) {
    if (flag) Write(registry, name, std::optional<uint32_t>(*flag ? 1 : 0));
}

// Calls visit(row, value) for every row that has a registry value, with the value of the row's kind.
template <typename S, typename Visit>
void ForEachValue(S& settings, Visit visit) {
    for (size_t i = 0; i < kOptionCount; ++i) {
        const OptionRow& row = kOptions[i];
        if (!row.value) continue;
        if (row.text) visit(row, settings.texts[i]);
        if (row.flag) visit(row, settings.flags[i]);
        if (row.choice) visit(row, settings.choices[i]);
    }
}

}  // namespace

Settings Settings::FromOptions(const BuildOptions& o) {
    Settings s;
    for (size_t i = 0; i < kOptionCount; ++i) {
        const OptionRow& row = kOptions[i];
        if (row.text) s.texts[i] = o.*row.text;
        if (row.flag) s.flags[i] = o.*row.flag;
        if (row.choice) s.choices[i] = o.*row.choice;
    }
    return s;
}

void Settings::Load(Registry& registry) {
    *this = Settings();
    if (!registry.OpenUserKey(kKeyPath)) return;
    ForEachValue(*this, [&registry](const OptionRow& row, auto& value) { Read(registry, row.value, value); });
    registry.Close();
}

void Settings::Save(Registry& registry) const {
    if (!registry.OpenUserKey(kKeyPath)) return;
    ForEachValue(*this,
                 [&registry](const OptionRow& row, const auto& value) { Write(registry, row.value, value); });
    registry.Close();
}

}  // namespace ql::ui
