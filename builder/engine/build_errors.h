// The one error type of a build: file, compression and memory failures escape
// the engine as BuildError and are reported by whoever started the build. Its
// code is a Windows error code (shared/error_codes.h) or one of those below.
#pragma once

#include <stdexcept>
#include <string>

#include "shared/error_codes.h"

namespace ql {

class BuildError : public std::runtime_error {
public:
    explicit BuildError(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Error codes of I/O failures that are not the operating system's own.
constexpr int kIoReadPastEnd = 100;    // a read returned fewer bytes than asked
constexpr int kIoDiskFull = 101;       // a write wrote fewer bytes than asked
constexpr int kIoInvalidNumber = 106;  // a text that reads as no number

// The message of an I/O failure with the given code (UTF-8).
std::string IoErrorText(int code);

[[noreturn]] void RaiseIoError(int code);

}  // namespace ql
