// Texts of I/O failures.
#include "builder/engine/build_errors.h"

#include <utility>

#include "builder/resources/texts.h"
#include "platform/text.h"

namespace ql {

std::string IoErrorText(int code) {
    static constexpr std::pair<int, TextId> kTexts[] = {
        {kErrorFileNotFound, TextId::FileNotFound},
        {kErrorPathNotFound, TextId::InvalidFileName},
        {kErrorTooManyOpenFiles, TextId::TooManyOpenFiles},
        {kErrorAccessDenied, TextId::AccessDenied},
        {kIoInvalidNumber, TextId::InvalidNumber},
        {kIoDiskFull, TextId::DiskFull},
        {kIoReadPastEnd, TextId::ReadPastEnd},
    };
    for (const auto& [known, text] : kTexts)
        if (known == code) return Tr(text);
    return platform::FillPattern(Tr(TextId::IoError), {std::to_string(code)});
}

void RaiseIoError(int code, const std::string& nativePath) {
    throw BuildError(IoErrorText(code), code, platform::ToDisplay(nativePath));
}

std::string ErrorPath(const std::exception& error) {
    const auto* build = dynamic_cast<const BuildError*>(&error);
    return build ? build->Path() : std::string();
}

std::string WithPathLine(const std::string& text, const std::string& path) {
    return path.empty() ? text : text + "\r\n" + path;
}

}  // namespace ql
