// Temporary folders and files for the tests (POSIX).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql::test {

class TempDir {
public:
    // A new folder in `base` (which ends with '/'), removed with the object.
    explicit TempDir(const std::string& base = "/tmp/");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // ends with '/'
    std::string operator/(const std::string& relative) const { return path_ + relative; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
void MakeFolder(const std::string& path);
std::string PatternData(size_t length, uint32_t seed);            // deterministic, poorly compressible
std::vector<std::string> FolderNames(const std::string& folder);  // the names in it, sorted

}  // namespace ql::test
