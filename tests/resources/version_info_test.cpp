// The portable version-information reader: which block it reads, what it
// takes from it, and malformed blocks.
#include <gtest/gtest.h>

#include "builder/engine/version_info.h"
#include "tests/resources/resource_support.h"

namespace ql::test {
namespace {

// A block as a resource compiler writes it: root with fixed info 1.2.3.4, one
// VarFileInfo holding a Translation value.
std::string Node(const std::string& key, const std::string& value, const std::string& children,
                 uint16_t type = 0) {
    std::string node(6, '\0');
    for (char c : key) node += std::string{c, '\0'};
    node += std::string(2, '\0');
    while (node.size() % 4) node += '\0';
    node += value;
    while (node.size() % 4) node += '\0';
    node += children;
    node[0] = static_cast<char>(node.size());
    node[1] = static_cast<char>(node.size() >> 8);
    const size_t valueLength = type == 1 ? value.size() / 2 : value.size();
    node[2] = static_cast<char>(valueLength);
    node[4] = static_cast<char>(type);
    return node;
}

std::string FixedInfo(uint32_t ms, uint32_t ls) {
    std::string info(52, '\0');
    const uint32_t fields[] = {0xFEEF04BD, 0x10000, ms, ls};
    for (size_t i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b) info[4 * i + b] = static_cast<char>(fields[i] >> (8 * b));
    return info;
}

std::string Block(const std::string& translationKey, const std::string& translation) {
    const std::string var = Node("VarFileInfo", "", Node(translationKey, translation, ""));
    const std::string strings = Node("StringFileInfo", "", Node("040904B0", "", ""), 1);
    return Node("VS_VERSION_INFO", FixedInfo(0x00010002, 0x00030004), strings + var);
}

TEST(VersionInfo, LanguageAndFixedVersionOfTheFixtures) {
    EXPECT_EQ(VersionLanguage(FixturePath("res_named.exe")), 1029);
    EXPECT_EQ(VersionLanguage(FixturePath("res_numbered.exe")), 1033);
    EXPECT_EQ(VersionLanguage(FixturePath("res_stublike.exe")), 0);
    EXPECT_EQ(VersionLanguage(FixturePath("res_plain.exe")), 0);
    EXPECT_EQ(VersionLanguage(FixturePath("three.ico")), 0);
    EXPECT_EQ(VersionLanguage(FixturePath("missing.exe")), 0);
    VersionInfo info;
    ASSERT_TRUE(ReadVersionInfo(FixturePath("res_named.exe"), info));
    // Two blocks named 1 (Czech and German): the neutral-else-lowest rule picks Czech.
    EXPECT_EQ(info.fileVersionMs, 0x00010002u);
    EXPECT_EQ(info.fileVersionLs, 0x00030004u);
    EXPECT_EQ(info.codePage, 1200);
    EXPECT_FALSE(ReadVersionInfo(FixturePath("res_stublike.exe"), info));
}

TEST(VersionInfo, QueryFindsKeysWithoutRegardToCase) {
    const std::string block = Block("Translation", std::string("\x09\x04\xB0\x04", 4));
    VersionInfo info;
    ASSERT_TRUE(ParseVersionBlock(block, info));
    EXPECT_EQ(info.language, 1033);
    EXPECT_TRUE(info.hasFixedInfo);
    std::string_view value;
    EXPECT_TRUE(QueryVersionValue(block, "\\varfileinfo\\TRANSLATION", value));
    EXPECT_EQ(value.size(), 4u);
    EXPECT_FALSE(QueryVersionValue(block, "\\VarFileInfo\\Translations", value));
    EXPECT_FALSE(QueryVersionValue(block, "\\VarFile", value));
}

TEST(VersionInfo, BlocksWithoutTranslationOrDamagedGiveLanguageZero) {
    VersionInfo info;
    const std::string noTranslation = Block("Other", std::string("\x09\x04\xB0\x04", 4));
    EXPECT_TRUE(ParseVersionBlock(noTranslation, info));  // the fixed info is still there
    EXPECT_FALSE(info.hasTranslation);
    EXPECT_EQ(info.language, 0);
    const std::string good = Block("Translation", std::string("\x07\x04\xB0\x04", 4));
    // Truncated blocks whose root still claims the full length, and a root
    // longer than the block: nothing is read from beyond the end.
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(ParseVersionBlock(good.substr(0, cut), info)) << cut;
    std::string lying = good;
    lying[0] = static_cast<char>(0xFF);
    lying[1] = static_cast<char>(0xFF);
    EXPECT_FALSE(ParseVersionBlock(lying, info));
}

TEST(VersionInfo, OnlyTheBlockNamedOneCounts) {
    TempDir dir;
    const std::string target = CopyFixture(dir, "res_stublike.exe");
    const std::string block = Block("Translation", std::string("\x07\x04\xB0\x04", 4));
    ASSERT_TRUE(PutResources(target, {{{Num(16), Num(2), 1033}, block}}));
    EXPECT_EQ(VersionLanguage(target), 0);
    ASSERT_TRUE(PutResources(target, {{{Num(16), Num(1), 1049}, block}}));
    EXPECT_EQ(VersionLanguage(target), 1031);
    EXPECT_WINE_AGREES(target);
}

}  // namespace
}  // namespace ql::test
