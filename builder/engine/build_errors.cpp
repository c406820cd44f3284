// Texts of I/O failures.
#include "builder/engine/build_errors.h"

#include "platform/text.h"

namespace ql {

std::string IoErrorText(int code) {
    switch (code) {
    case kErrorFileNotFound: return "文件未找到";
    case kErrorPathNotFound: return "无效的文件名";
    case kErrorTooManyOpenFiles: return "打开的文件太多";
    case kErrorAccessDenied: return "文件访问被拒绝";
    case kIoReadPastEnd: return "读取范围超出文件界限";
    case kIoDiskFull: return "磁盘已满";
    case kIoInvalidNumber: return "无效的数字输入";
    default: return "I/O 错误 " + std::to_string(code);
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
