// What the builder carries: stub and helper images of both architectures, the
// manifest template and the GBK help text, byte for byte.
#include <gtest/gtest.h>

#include "builder/resources/embedded_resources.h"
#include "shared/container.h"

namespace ql {
namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
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
    EXPECT_EQ(help.size(), 1964u);
    EXPECT_EQ(help.substr(0, 7), "\xd3\xc3\xb7\xa8:\r\n");  // "用法:" in GBK
    EXPECT_TRUE(EndsWith(help, "setup.exe \"\\\"prm 1\\\" \\\"prm 2\\\"\"\r\n"));
    size_t lines = 0;
    for (size_t at = help.find("\r\n"); at != std::string_view::npos; at = help.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 56u);
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
