// What the builder carries: stub and helper images of both architectures, the
// manifest template, the GBK help text byte for byte and its English version,
// and the texts in both languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "builder/resources/embedded_resources.h"
#include "builder/resources/texts.h"
#include "shared/container.h"

namespace ql {
namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The switches a help text explains: the lines that begin with "-x - ".
std::set<std::string_view> ExplainedSwitches(std::string_view help) {
    std::set<std::string_view> switches;
    for (size_t at = 0, end = 0; at < help.size(); at = end + 1) {
        end = std::min(help.find('\n', at), help.size());
        const std::string_view line = help.substr(at, end - at);
        if (line.starts_with('-') && line.find(" - ") != line.npos)
            switches.insert(line.substr(0, line.find(" - ")));
    }
    return switches;
}

uint16_t Machine(std::string_view image) {
    auto* p = reinterpret_cast<const uint8_t*>(image.data());
    return ReadLE16(p + ReadLE32(p + 60) + 4);
}

TEST(EmbeddedResources, ManifestTemplateAndHelpText) {
    std::string_view manifest, help;
    ASSERT_TRUE(LoadResourceData("XML", "UAC", manifest));
    EXPECT_EQ(manifest.size(), 420u);
    EXPECT_EQ(manifest.substr(0, 57), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n");
    EXPECT_NE(manifest.find("\r\n                <requestedExecutionLevel level=\"requireAdministrator\" "
                            "uiAccess=\"false\"/>\r\n"),
              std::string_view::npos);
    EXPECT_TRUE(EndsWith(manifest, "\r\n   </trustInfo>\r\n</assembly>"));

    ASSERT_TRUE(LoadResourceData("TXT", "CMDLINE", help));
    EXPECT_EQ(help.size(), 2049u);
    EXPECT_EQ(help.substr(0, 7), "\xd3\xc3\xb7\xa8:\r\n");  // "用法:" in GBK
    EXPECT_TRUE(EndsWith(help, "setup.exe \"\\\"prm 1\\\" \\\"prm 2\\\"\"\r\n"));
    size_t lines = 0;
    for (size_t at = help.find("\r\n"); at != std::string_view::npos; at = help.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 57u);

    std::string_view english;
    ASSERT_TRUE(LoadResourceData("TXT", "CMDLINE_EN", english));
    EXPECT_EQ(english.substr(0, 7), "Usage:\n");
    EXPECT_EQ(ExplainedSwitches(english), ExplainedSwitches(help));
    EXPECT_EQ(ExplainedSwitches(help).size(), 29u);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Every text in both languages, with the same places to fill; English is
// plain ASCII. The locale chooses as gettext does.
TEST(Texts, EveryRowInBothLanguagesAndTheLocaleChooses) {
    for (size_t i = 0; i < static_cast<size_t>(TextId::Count); ++i) {
        const std::string chinese = TextIn(TextId(i), Language::Chinese);
        const std::string english = TextIn(TextId(i), Language::English);
        SCOPED_TRACE(chinese);
        EXPECT_FALSE(chinese.empty() || english.empty());
        EXPECT_EQ(Count(chinese, "%s"), Count(english, "%s"));
        for (unsigned char c : english) EXPECT_LT(c, 0x80);
    }
    EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, nullptr), Language::English);
    EXPECT_EQ(LanguageOfLocale("", "", "zh_CN.UTF-8"), Language::Chinese);  // empty is unset
    EXPECT_EQ(LanguageOfLocale("C.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8"), Language::English);
    EXPECT_EQ(LanguageOfLocale(nullptr, "zh_TW.UTF-8", "en_US.UTF-8"), Language::Chinese);
    EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, "POSIX"), Language::English);
    SetTextLanguage(Language::English);
    EXPECT_STREQ(Tr(TextId::SourceMissing), "The source folder does not exist\r\n\r\n%s");
    SetTextLanguage(Language::Chinese);
    EXPECT_STREQ(Tr(TextId::SourceMissing), "源文件夹不存在\r\n\r\n%s");
}

TEST(EmbeddedResources, BothArchitecturesOnLinux) {
    std::string_view stub, helper;
    EXPECT_FALSE(LoadResourceData("EXE", "MISSING", stub));
    EXPECT_FALSE(LoadResourceData("TXT", "SFXHEAD", stub));  // type and name both count
    ASSERT_TRUE(LoadResourceData("EXE", "SFXHEAD", stub));
    ASSERT_TRUE(LoadResourceData("EXE", "SELFDELETE", helper));
    EXPECT_EQ(Machine(stub), 0x14c);
    EXPECT_EQ(Machine(helper), 0x14c);
    ASSERT_TRUE(SelectStubArchitecture("x86_64"));
    ASSERT_TRUE(LoadResourceData("EXE", "SFXHEAD", stub));
    ASSERT_TRUE(LoadResourceData("EXE", "SELFDELETE", helper));
    EXPECT_EQ(Machine(stub), 0x8664);
    EXPECT_EQ(Machine(helper), 0x8664);
    EXPECT_FALSE(SelectStubArchitecture("arm64"));
    ASSERT_TRUE(SelectStubArchitecture("i686"));
}

}  // namespace
}  // namespace ql
