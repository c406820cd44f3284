// The settings both builders read at start-up: QUILLON_THREADS, QUILLON_LEVEL
// and SOURCE_DATE_EPOCH, taken whole or refused with a message.
#include <gtest/gtest.h>

#include <map>

#include "builder/cli/startup.h"
#include "tests/support/recording_dialogs.h"

namespace ql::test {
namespace {

class SettingsHost : public StartupHost {
public:
    DialogHost& Dialogs() override { return dialogs; }
    void ShowFatalError(const std::string&) override {}
    int RunInteractive(const CommandLineOptions&, BuildEnvironment&, std::string_view) override { return 0; }
    const char* Setting(const char* name) override {
        auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    }

    RecordingDialogs dialogs;
    std::map<std::string, std::string> values;
};

TEST(PackingSettings, WholeNumbersInRangeAreTakenAndUnsetOnesLeaveTheDefaults) {
    SettingsHost host;
    BuildEnvironment env(host.dialogs);
    std::string error;
    ASSERT_TRUE(ReadSettings(host, env, error));
    EXPECT_EQ(env.packingThreads, 0u);
    EXPECT_EQ(env.compressionLevel, kDefaultCompressionLevel);
    EXPECT_FALSE(env.sourceDateEpoch.has_value());

    host.values = {{"QUILLON_THREADS", "3"}, {"QUILLON_LEVEL", "12"}, {"SOURCE_DATE_EPOCH", "0"}};
    ASSERT_TRUE(ReadSettings(host, env, error)) << error;
    EXPECT_EQ(env.packingThreads, 3u);
    EXPECT_EQ(env.compressionLevel, 12);
    EXPECT_EQ(env.sourceDateEpoch, 0);

    host.values = {{"QUILLON_LEVEL", ""}};  // empty: as if unset
    BuildEnvironment fresh(host.dialogs);
    ASSERT_TRUE(ReadSettings(host, fresh, error));
    EXPECT_EQ(fresh.compressionLevel, kDefaultCompressionLevel);
}

TEST(PackingSettings, AnythingElseIsRefusedNamingTheSetting) {
    const std::pair<const char*, const char*> bad[] = {
        {"QUILLON_THREADS", "0"},     {"QUILLON_THREADS", "257"},
        {"QUILLON_THREADS", "two"},   {"QUILLON_LEVEL", "13"},
        {"QUILLON_LEVEL", "-1"},      {"QUILLON_LEVEL", " 7"},
        {"SOURCE_DATE_EPOCH", "1e9"}, {"SOURCE_DATE_EPOCH", "99999999999999999999"}};
    for (const auto& [name, value] : bad) {
        SettingsHost host;
        host.values = {{name, value}};
        BuildEnvironment env(host.dialogs);
        std::string error;
        EXPECT_FALSE(ReadSettings(host, env, error)) << name << "=" << value;
        EXPECT_EQ(error.find(std::string(name) + "=" + value + " is not a whole number"), 0u) << error;
    }
}

}  // namespace
}  // namespace ql::test
