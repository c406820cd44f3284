// The one error type of a build: file, compression and memory failures escape
// the engine as BuildError and are reported by whoever started the build. Its
// code is a Windows error code (shared/error_codes.h) or one of those below.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "shared/error_codes.h"

namespace ql {

class BuildError : public std::runtime_error {
public:
    explicit BuildError(const std::string& message, int code = 0, std::string path = {})
        : std::runtime_error(message), code_(code), path_(std::move(path)) {}
    int Code() const { return code_; }
    // The file or folder the failure concerns (UTF-8), or empty: the message
    // alone ("文件访问被拒绝") would leave the user guessing which one.
    const std::string& Path() const { return path_; }

private:
    int code_;
    std::string path_;
};

// Error codes of I/O failures that are not the operating system's own.
constexpr int kIoReadPastEnd = 100;    // a read returned fewer bytes than asked
constexpr int kIoDiskFull = 101;       // a write wrote fewer bytes than asked
constexpr int kIoInvalidNumber = 106;  // a text that reads as no number

// The message of an I/O failure with the given code (UTF-8).
std::string IoErrorText(int code);

// Raises the I/O failure `code` concerning the file `nativePath`.
[[noreturn]] void RaiseIoError(int code, const std::string& nativePath);

// The path a failure concerns: a BuildError's, empty for any other error.
std::string ErrorPath(const std::exception& error);

// A failure's report: its text and, when it concerns a path, the path
// beneath it on a line of its own.
std::string WithPathLine(const std::string& text, const std::string& path);

}  // namespace ql
