// The registry key and value names of the settings, their kinds, and the
// rules for reading them back.
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
std::optional<std::string> ReadString(Registry& registry, const char* name) {
    uint32_t kind = 0;
    std::string data;
    if (!registry.Query(name, kind, data) || data.empty()) return std::string();
    if (kind != kString && kind != kExpandString) return std::nullopt;
    return data.substr(0, data.find('\0'));
}

std::optional<uint32_t> ReadNumber(Registry& registry, const char* name) {
    uint32_t kind = 0;
    std::string data;
    if (!registry.Query(name, kind, data) || kind != kNumber || data.size() != 4) return std::nullopt;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
    return value;
}

std::optional<bool> ReadBoolean(Registry& registry, const char* name) {
    std::optional<uint32_t> value = ReadNumber(registry, name);
    if (!value) return std::nullopt;
    return *value != 0;
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

}  // namespace

Settings Settings::FromOptions(const BuildOptions& o) {
    Settings s;
    s.Source = o.Source;
    s.Target = o.Target;
    s.Icon = o.Icon;
    s.ExtractionMode = o.ExtractionMode;
    s.ExecutableFile = o.ExecutableFile;
    s.CmdParameters = o.CmdParameters;
    s.ExtractionFolder = o.ExtractionFolder;
    s.CustomFolder = o.CustomFolder;
    s.OpenFolder = o.OpenFolder;
    s.WorkingDirectory = o.WorkingDirectory;
    s.DeleteMode = o.DeleteMode;
    s.OneInstance = o.OneInstance;
    s.SilentMode = o.SilentMode;
    s.SelfDeleteMode = o.SelfDeleteMode;
    s.UACAutoElevation = o.UACAutoElevation;
    s.OverwriteMode = o.OverwriteMode;
    return s;
}

void Settings::Load(Registry& registry) {
    *this = Settings();
    if (!registry.OpenUserKey(kKeyPath)) return;
    Source = ReadString(registry, "Source");
    Target = ReadString(registry, "Target");
    Icon = ReadString(registry, "Icon");
    ExecutableFile = ReadString(registry, "ExecutableFile");
    CmdParameters = ReadString(registry, "CmdParameters");
    CustomFolder = ReadString(registry, "CustomFolder");
    OpenFolder = ReadBoolean(registry, "OpenFolder");
    OneInstance = ReadBoolean(registry, "OneInstance");
    SilentMode = ReadBoolean(registry, "SilentMode");
    SelfDeleteMode = ReadBoolean(registry, "SelfDeleteMode");
    ExtractionMode = ReadNumber(registry, "ExtractionMode");
    ExtractionFolder = ReadNumber(registry, "ExtractionFolder");
    WorkingDirectory = ReadNumber(registry, "WorkingDirectory");
    DeleteMode = ReadNumber(registry, "DeleteMode");
    UACAutoElevation = ReadNumber(registry, "UACAutoElevation");
    OverwriteMode = ReadNumber(registry, "OverwriteMode");
    registry.Close();
}

void Settings::Save(Registry& registry) const {
    if (!registry.OpenUserKey(kKeyPath)) return;
    Write(registry, "Source", Source);
    Write(registry, "Target", Target);
    Write(registry, "Icon", Icon);
    Write(registry, "ExtractionMode", ExtractionMode);
    Write(registry, "ExecutableFile", ExecutableFile);
    Write(registry, "CmdParameters", CmdParameters);
    Write(registry, "ExtractionFolder", ExtractionFolder);
    Write(registry, "CustomFolder", CustomFolder);
    Write(registry, "OpenFolder", OpenFolder);
    Write(registry, "WorkingDirectory", WorkingDirectory);
    Write(registry, "DeleteMode", DeleteMode);
    Write(registry, "OneInstance", OneInstance);
    Write(registry, "SilentMode", SilentMode);
    Write(registry, "SelfDeleteMode", SelfDeleteMode);
    Write(registry, "UACAutoElevation", UACAutoElevation);
    Write(registry, "OverwriteMode", OverwriteMode);
    registry.Close();
}

}  // namespace ql::ui
