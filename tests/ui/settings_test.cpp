// The stored settings against a registry kept in memory: what is written,
// and how values of the wrong kind or size read back.
#include <gtest/gtest.h>

#include <map>

#include "builder/ui/settings.h"

namespace ql::ui {
namespace {

constexpr uint32_t kSz = 1, kExpandSz = 2, kDword = 4, kQword = 11;

class FakeRegistry : public Registry {
public:
    bool OpenUserKey(const std::string& path) override {
        openedPath = path;
        return !refuse;
    }
    bool Query(const std::string& name, uint32_t& kind, std::string& data) override {
        auto it = values.find(name);
        if (it == values.end()) return false;
        kind = it->second.first;
        data = it->second.second;
        return true;
    }
    bool Set(const std::string& name, uint32_t kind, const std::string& data) override {
        if (name == failingValue) return false;
        values[name] = {kind, data};
        return true;
    }
    void Close() override {}

    static std::string Dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

    bool refuse = false;
    std::string failingValue;
    std::string openedPath;
    std::map<std::string, std::pair<uint32_t, std::string>> values;
};

TEST(Settings, SavesSixteenValuesOfTheirKindsAndReadsThemBack) {
    BuildOptions o;
    o.Source = "C:\\Src\\";
    o.Target = "C:\\Out.exe";
    o.ExtractionMode = 1;
    o.ExtractionFolder = 5;
    o.CustomFolder = "%TEMP%\\x\\";
    o.OpenFolder = true;
    o.UACAutoElevation = 2;
    o.PortableNames = true;  // of the command line only: not stored
    FakeRegistry registry;
    registry.failingValue = "Icon";  // one failing value does not stop the others
    Settings::FromOptions(o).Save(registry);
    EXPECT_EQ(registry.openedPath, "Software\\Tarnwick\\Quillon");
    EXPECT_EQ(registry.values.size(), 15u);
    EXPECT_EQ(registry.values["Source"], std::make_pair(kSz, std::string("C:\\Src\\", 8)));
    EXPECT_EQ(registry.values["CmdParameters"], std::make_pair(kSz, std::string(1, '\0')));
    EXPECT_EQ(registry.values["OpenFolder"], std::make_pair(kDword, FakeRegistry::Dword(1)));
    EXPECT_EQ(registry.values["SilentMode"], std::make_pair(kDword, FakeRegistry::Dword(0)));
    EXPECT_EQ(registry.values["UACAutoElevation"], std::make_pair(kDword, FakeRegistry::Dword(2)));

    Settings read;
    read.Load(registry);
    EXPECT_EQ(read[&BuildOptions::Source], "C:\\Src\\");
    EXPECT_EQ(read[&BuildOptions::Icon], "");  // missing: an empty string, not an absent value
    EXPECT_EQ(read[&BuildOptions::CustomFolder], "%TEMP%\\x\\");
    EXPECT_EQ(read[&BuildOptions::ExtractionFolder], 5u);
    EXPECT_EQ(read[&BuildOptions::OpenFolder], true);
    EXPECT_EQ(read[&BuildOptions::SelfDeleteMode], false);
}

TEST(Settings, ValuesOfAnotherKindOrSizeAreUnreadable) {
    FakeRegistry registry;
    registry.values["ExtractionMode"] = {kSz, std::string("1\0", 2)};
    registry.values["ExtractionFolder"] = {kDword, FakeRegistry::Dword(7)};
    registry.values["SilentMode"] = {kDword, FakeRegistry::Dword(5)};
    registry.values["CustomFolder"] = {kExpandSz, std::string("%APPDATA%\\x\0junk", 16)};
    registry.values["Target"] = {kDword, FakeRegistry::Dword(3)};
    registry.values["OverwriteMode"] = {kQword, std::string(8, '\0')};
    registry.values["DeleteMode"] = {kDword, std::string(8, '\1')};
    registry.values["Source"] = {kSz, ""};
    Settings read;
    read.Load(registry);
    EXPECT_FALSE(read[&BuildOptions::ExtractionMode]);
    EXPECT_EQ(read[&BuildOptions::ExtractionFolder], 7u);  // kept; the window maps it to the first choice
    EXPECT_EQ(read[&BuildOptions::SilentMode], true);
    EXPECT_EQ(read[&BuildOptions::CustomFolder], "%APPDATA%\\x");  // raw, up to its first zero byte
    EXPECT_FALSE(read[&BuildOptions::Target]);
    EXPECT_FALSE(read[&BuildOptions::OverwriteMode]);
    EXPECT_FALSE(read[&BuildOptions::DeleteMode]);
    EXPECT_EQ(read[&BuildOptions::Source], "");
}

TEST(Settings, ARefusedKeyReadsNothingAndWritesNothing) {
    FakeRegistry registry;
    registry.refuse = true;
    registry.values["Source"] = {kSz, std::string("C:\\x\0", 5)};
    Settings read;
    read[&BuildOptions::Source] = "stale";
    read.Load(registry);
    EXPECT_FALSE(read[&BuildOptions::Source]);
    EXPECT_FALSE(read[&BuildOptions::OpenFolder]);
    Settings::FromOptions(BuildOptions()).Save(registry);
    EXPECT_EQ(registry.values.size(), 1u);
}

}  // namespace
}  // namespace ql::ui
