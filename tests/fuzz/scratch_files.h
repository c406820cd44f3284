// Files for the fuzz targets whose code under test takes paths: one scratch
// folder per process, in memory where the system offers it, removed at exit.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/file.h"
#include "tests/support/temp_tree.h"

namespace ql::fuzz {

inline const std::string& ScratchFolder() {
    static const test::TempDir folder(access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/");
    return folder.path();
}

// Writes `content` to the scratch file `name` and returns its path.
inline std::string ScratchFile(const char* name, std::string_view content) {
    const std::string path = ScratchFolder() + name;
    if (platform::WriteWholeFile(path, std::string(content)) != 0) abort();
    return path;
}

}  // namespace ql::fuzz
