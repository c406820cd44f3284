// Texts of I/O failures.
#include "builder/engine/build_errors.h"

#include "builder/resources/texts.h"
#include "platform/text.h"

namespace ql {

std::string IoErrorText(int code) {
    switch (code) {
        case 2:
            return Tr(TextId::FileNotFound);
        case 3:
            return Tr(TextId::InvalidFileName);
        case 4:
            return Tr(TextId::TooManyOpenFiles);
        case 5:
            return Tr(TextId::AccessDenied);
        case kIoReadPastEnd:
            return Tr(TextId::ReadPastEnd);
        case kIoDiskFull:
            return Tr(TextId::DiskFull);
        case 106:
            return Tr(TextId::InvalidNumber);
        default:
            return platform::FillPattern(Tr(TextId::IoError), {std::to_string(code)});
    }
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
