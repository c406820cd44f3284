// The Windows error codes that Quillon's own code reports: the stub's
// container walk, and the platform layer and the engine on every system
// alike, so that the builders' error texts read the same everywhere.
// Freestanding, like container.h, so that the stub can include it.
#pragma once

#include <stdint.h>

namespace ql {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorCrc = 23;
constexpr uint32_t kErrorReadFault = 30;
constexpr uint32_t kErrorGenFailure = 31;  // a failure without a closer counterpart
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorNegativeSeek = 131;
constexpr uint32_t kErrorBadArguments = 160;
constexpr uint32_t kErrorFileTooLarge = 223;

}  // namespace ql
