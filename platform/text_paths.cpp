// Double-byte aware path scanning and the name encoding, the same on every platform.
#include "platform/text.h"
#include "shared/ansi_text.h"

namespace ql::platform {

namespace {

bool IsAnsiSuperscriptDigit(const uint8_t* text, size_t length) {
    const std::string utf8 = CodePageToUtf8({reinterpret_cast<const char*>(text), length}, AnsiCodePage());
    return utf8 == "\xC2\xB9" || utf8 == "\xC2\xB2" || utf8 == "\xC2\xB3";  // ¹ ² ³ in UTF-8
}

}  // namespace

NameEncoding AnsiNameEncoding() { return NameEncoding{IsAnsiLeadByte, IsAnsiSuperscriptDigit}; }

bool EndsWithCharacter(const std::string& text, char c, LeadByteTest isLead) {
    return ql::EndsWithCharacter(text.data(), text.size(), c, isLead);
}

size_t FolderPartLength(const std::string& path, char delimiter, LeadByteTest isLead) {
    const char delimiters[] = {delimiter, '\0'};
    return ql::FolderPartLength(path.data(), path.size(), delimiters, isLead);
}

bool IsCharacterBoundary(const std::string& text, size_t length, LeadByteTest isLead) {
    return length <= text.size() && ql::IsCharacterBoundary(text.data(), length, isLead);
}

}  // namespace ql::platform
