// Double-byte aware path scanning, the same on every platform.
#include "platform/text.h"
#include "shared/ansi_text.h"

namespace ql::platform {

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
