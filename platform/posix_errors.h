// errno to Windows error codes, so POSIX failures read like the Windows builder's.
#pragma once

#include <cerrno>

#include "shared/error_codes.h"

namespace ql::platform {

inline int WindowsErrorFromErrno(int error) {
    switch (error) {
        case 0: return 0;
        case ENOENT: return kErrorFileNotFound;
        case ENOTDIR: return kErrorPathNotFound;
        case ENAMETOOLONG: return kErrorPathNotFound;
        case EMFILE:
        case ENFILE: return kErrorTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return kErrorAccessDenied;
        case ETXTBSY:
        case EBUSY: return kErrorSharingViolation;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        case EILSEQ:
        case EINVAL: return kErrorInvalidName;
        case EIO: return kErrorReadFault;
        default: return kErrorGenFailure;  // no closer Windows counterpart
    }
}

}  // namespace ql::platform
