// Files for the fuzz targets whose code under test takes paths: one scratch
// folder per process, in memory where the system offers it, removed at exit.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/file.h"

namespace ql::fuzz {

inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/ql-fuzz-XXXXXX" : "/tmp/ql-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        static std::string remove = "rm -rf '" + pattern + "'";
        atexit([] {
            if (system(remove.c_str()) != 0) {
                // a scratch folder left behind is harmless
            }
        });
        return pattern + "/";
    }();
    return folder;
}

// Writes `content` to the scratch file `name` and returns its path.
inline std::string ScratchFile(const char* name, std::string_view content) {
    const std::string path = ScratchFolder() + name;
    if (platform::WriteWholeFile(path, std::string(content)) != 0) abort();
    return path;
}

}  // namespace ql::fuzz
