// The Windows error codes the platform layer reports, on every system alike,
// so that the builder's error texts are the same everywhere.
#pragma once

namespace ql::platform {

constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorTooManyOpenFiles = 4;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorSharingViolation = 32;
constexpr int kErrorHandleEof = 38;
constexpr int kErrorDiskFull = 112;
constexpr int kErrorInvalidName = 123;
constexpr int kErrorFileTooLarge = 223;

}  // namespace ql::platform
