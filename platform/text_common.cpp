// The text services that are the same on every platform: trimming and
// patterns, double-byte aware path scanning and the name encoding.
#include "platform/text.h"

#include "platform/filesystem.h"
#include "shared/ansi_text.h"

namespace ql::platform {

namespace {

bool IsAnsiSuperscriptDigit(const uint8_t* text, size_t length) {
    const std::string utf8 = CodePageToUtf8({reinterpret_cast<const char*>(text), length}, AnsiCodePage());
    return utf8 == "\xC2\xB9" || utf8 == "\xC2\xB2" || utf8 == "\xC2\xB3";  // ¹ ² ³ in UTF-8
}

}  // namespace

NameEncoding AnsiNameEncoding() { return NameEncoding{IsAnsiLeadByte, IsAnsiSuperscriptDigit}; }

std::string TrimText(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

std::string WithTrailingDelimiter(const std::string& path) {
    char delimiter = PathDelimiter();
    if (path.empty() || EndsWithCharacter(path, delimiter)) return path;
    return path + delimiter;
}

std::string FillPattern(const std::string& pattern, std::initializer_list<std::string> arguments) {
    std::string result;
    auto next = arguments.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next != arguments.end()) {
            result += *next++;
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

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
