// The stub's texts: the language row choice, the bytes of the stored rows,
// size texts, failure messages, the parameter string and path scanning.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shared/ansi_text.h"
#include "shared/size_text.h"
#include "stub/stub_text.h"
#include "stub/translations.h"

namespace ql::test {
namespace {

using stub::TextKind;

TEST(LanguageRow, NeedsBothLanguageAndCodePage) {
    EXPECT_EQ(stub::ChooseLanguageRow(0x0407, 1252), 7);  // German, Germany
    EXPECT_EQ(stub::ChooseLanguageRow(0x0C07, 1252), 7);  // German, Austria: only the primary id counts
    EXPECT_EQ(stub::ChooseLanguageRow(0x0407, 1250), 0);
    EXPECT_EQ(stub::ChooseLanguageRow(0x0804, 936), 37);
    EXPECT_EQ(stub::ChooseLanguageRow(0x0404, 950), 38);
    EXPECT_EQ(stub::ChooseLanguageRow(0x0804, 1252), 0);
    EXPECT_EQ(stub::ChooseLanguageRow(0x041A, 1250), 15);  // Croatian
    EXPECT_EQ(stub::ChooseLanguageRow(0x0C1A, 1251), 0);   // Serbian in Cyrillic: English
    EXPECT_EQ(stub::ChooseLanguageRow(0x0409, 1252), 0);
    EXPECT_EQ(stub::ChooseLanguageRow(0x0405, 1250), 1);
    EXPECT_EQ(stub::ChooseLanguageRow(0x042A, 1258), 36);
}

TEST(LanguageRow, EveryRowHasItsFourTexts) {
    for (int row = 0; row < stub::kLanguageRows; ++row)
        for (TextKind kind :
             {TextKind::Initialization, TextKind::PleaseWait, TextKind::ExtractTo, TextKind::OverwriteFile})
            EXPECT_GT(std::strlen(stub::StubText(static_cast<uint8_t>(row), kind)), 1u) << "row " << row;
    EXPECT_STREQ(stub::StubText(200, TextKind::PleaseWait), "Please wait");
}

TEST(LanguageRow, TextsAreStoredInTheRowsCodePage) {
    EXPECT_STREQ(stub::StubText(0, TextKind::OverwriteFile), "Overwrite file?");
    EXPECT_STREQ(stub::StubText(7, TextKind::OverwriteFile),
                 "Datei \xFC"
                 "berschreiben?");
    EXPECT_STREQ(stub::StubText(19, TextKind::ExtractTo), "\x93\x57\x8A\x4A\x90\xE6");           // Shift JIS
    EXPECT_STREQ(stub::StubText(28, TextKind::ExtractTo), "\xC8\xE7\xE2\xEB\xE5\xF7\xFC \xE2");  // 1251
    EXPECT_STREQ(stub::StubText(37, TextKind::PleaseWait), "\xC7\xEB\xC9\xD4\xBA\xF2");          // GBK
    EXPECT_STREQ(stub::StubText(38, TextKind::PleaseWait), "\xBD\xD0\xB5\x79\xAD\xD4");          // Big5
    EXPECT_STREQ(stub::StubText(33, TextKind::ExtractTo), "\xE1\xC2\xA1\xE4\xBB\xC2\xD1\xA7");   // 874
    // Vietnamese: tone marks follow their letter as combining marks of 1258.
    EXPECT_STREQ(stub::StubText(36, TextKind::Initialization),
                 "\xD0"
                 "ang la\xCCm vi\xEA\xF2"
                 "c");
    EXPECT_STREQ(stub::StubText(27, TextKind::OverwriteFile), "Suprascriere fi?ier?");
}

std::string SizeText(int64_t count, const char* separator = ".") {
    char text[kSizeTextCapacity];
    FormatSizeText(count, separator, text, sizeof text);
    return text;
}

TEST(SizeText, ChoosesTheUnitByMagnitudeAndRoundsHalfAwayFromZero) {
    EXPECT_EQ(SizeText(0), "0 B");
    EXPECT_EQ(SizeText(1023), "1023 B");
    EXPECT_EQ(SizeText(1024), "1.0 kB");
    EXPECT_EQ(SizeText(1280), "1.3 kB");        // exactly 1.25
    EXPECT_EQ(SizeText(1048575), "1024.0 kB");  // the unit is not promoted after rounding
    EXPECT_EQ(SizeText(1048576), "1.00 MB");
    EXPECT_EQ(SizeText(5 * 1048576 + 5 * 10486), "5.05 MB");
    EXPECT_EQ(SizeText(int64_t{1} << 30), "1.000 GB");
    EXPECT_EQ(SizeText((int64_t{3} << 30) + (int64_t{1} << 29)), "3.500 GB");
    EXPECT_EQ(SizeText(int64_t{1} << 40), "1.0000 TB");
    EXPECT_EQ(SizeText(int64_t{1} << 50), "1024.0000 TB");
    EXPECT_EQ(SizeText(INT64_MAX), "8388608.0000 TB");
}

TEST(SizeText, KeepsTheSignAndUsesTheGivenSeparator) {
    EXPECT_EQ(SizeText(-1), "-1 B");
    EXPECT_EQ(SizeText(-1280), "-1.3 kB");
    EXPECT_EQ(SizeText(INT64_MIN), "-8388608.0000 TB");
    EXPECT_EQ(SizeText(1280, ","), "1,3 kB");
    EXPECT_EQ(SizeText(1500, ""), "15 kB");
    char tiny[5];
    EXPECT_EQ(FormatSizeText(1048576, ".", tiny, sizeof tiny), 4u);
    EXPECT_STREQ(tiny, "1.00");
}

std::string Message(const char* subject, const char* text) {
    char out[256];
    stub::ComposeFailureMessage(subject, text, out, sizeof out);
    return out;
}

TEST(FailureMessage, PutsTheSubjectInPlaceOfTheFirstPercentOne) {
    EXPECT_EQ(Message("C:\\a.exe", "%1 is not a valid application. (%1)"),
              "C:\\a.exe is not a valid application. (%1)");
    EXPECT_EQ(Message("C:\\a.exe", "Reached the end of the file"),
              "C:\\a.exe\r\n\r\nReached the end of the file");
    EXPECT_EQ(Message("", "Data error"), "\r\n\r\nData error");
    const char text[] = "The data is invalid.  \r\n";
    EXPECT_EQ(stub::TrimMessageEnd(text, std::strlen(text)), std::strlen("The data is invalid"));
    EXPECT_EQ(stub::TrimMessageEnd("...", 3), 0u);
    EXPECT_EQ(stub::TrimMessageEnd("\xCE\xA0 \xA1", 4), 4u);  // bytes from 0x80 on are text, signed or not
}

std::string Parameters(const char* configured, const char* commandLine, size_t capacity = 512,
                       bool* complete = nullptr) {
    std::string out(capacity, '\0');
    bool fitted = stub::BuildParameterString(configured, commandLine, out.data(), capacity);
    if (complete) *complete = fitted;
    return out.c_str();
}

TEST(ParameterString, RequotesEachOwnParameterBehindTheConfiguredOnes) {
    EXPECT_EQ(Parameters("/s", "sfx.exe first \"second arg\""), "/s \"first\" \"second arg\"");
    EXPECT_EQ(Parameters("", "\"C:\\my files\\sfx.exe\""), "");
    EXPECT_EQ(Parameters("", "sfx.exe one"), " \"one\"");
    EXPECT_EQ(Parameters("-x \"a b\"", "sfx.exe"), "-x \"a b\"");
    // Quotes group inside a parameter and disappear; tabs and runs of blanks separate.
    EXPECT_EQ(Parameters("", "sfx.exe a\"b c\"d\t\t e   \"\""), " \"ab cd\" \"e\" \"\"");
    bool complete = true;
    EXPECT_EQ(Parameters("/s", "sfx.exe abcdef", 8, &complete), "/s \"abc");
    EXPECT_FALSE(complete);
}

bool ShiftJisLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The folder part as the stub takes it for the working folder: up to the last backslash or colon.
size_t FolderPart(const char* path) { return FolderPartLength(path, std::strlen(path), "\\:", ShiftJisLead); }

TEST(PathScan, ATrailByteIsNoBackslash) {
    const char table[] = "C:\\\x95\x5C";  // the second byte of this character is 0x5C
    EXPECT_FALSE(EndsWithCharacter(table, std::strlen(table), '\\', ShiftJisLead));
    const char folder[] = "C:\\\x95\x5C\\";
    EXPECT_TRUE(EndsWithCharacter(folder, std::strlen(folder), '\\', ShiftJisLead));
    EXPECT_FALSE(EndsWithCharacter("", 0, '\\', ShiftJisLead));

    EXPECT_EQ(FolderPart("C:\\dir\\sfx.exe"), 7u);
    EXPECT_EQ(FolderPart("C:sfx.exe"), 2u);
    EXPECT_EQ(FolderPart("sfx.exe"), 0u);
    EXPECT_EQ(FolderPart("C:\\\x95\x5Csfx.exe"), 3u);
    EXPECT_TRUE(IsCharacterBoundary(folder, 5, ShiftJisLead));
    EXPECT_FALSE(IsCharacterBoundary(folder, 4, ShiftJisLead));  // inside the double-byte character
    EXPECT_TRUE(stub::IsBlank(" \t\r\n"));
    EXPECT_FALSE(stub::IsBlank(" a "));
}

}  // namespace
}  // namespace ql::test
