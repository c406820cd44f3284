// Caption table and version texts.
#include "builder/ui/dialog_kit.h"

namespace ql::ui {

namespace {

// The box titles stay in English, although the rest of the interface is Chinese.
constexpr const char* kCaptions[] = {
    "Error",
    "Information",
    "Warning",
    "Confirmation",
    "关于...",
    "Version",
    "自解压文件制作工具",
    "版权所有 Quillon 开发者",
    "Web",
    "E-mail",
    "OK",
};

}  // namespace

const char* CaptionText(Caption caption) { return kCaptions[static_cast<size_t>(caption)]; }

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
