// Version texts and the error box's text.
#include "builder/ui/dialog_kit.h"

namespace ql::ui {

std::string FormatFileVersion(uint32_t ms, uint32_t ls) {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) +
           "." + std::to_string(ls & 0xFFFF);
}

std::string ShortVersionText(const std::string& version) {
    const size_t first = version.find('.');
    if (first == std::string::npos) return version;
    return version.substr(0, version.find('.', first + 1));
}

std::string ApplicationErrorText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
    return message;
}

}  // namespace ql::ui
