#include "tests/support/temp_tree.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/filesystem.h"

namespace ql::test {

TempDir::TempDir(const std::string& base) {
    std::string pattern = base + "quillon-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + base);
    path_ = pattern + "/";
}

TempDir::~TempDir() {
    std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) {
        // Leaving a temporary folder behind is harmless.
    }
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void MakeFolder(const std::string& path) { mkdir(path.c_str(), 0777); }

std::string PatternData(size_t length, uint32_t seed) {
    std::string data(length, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < length; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<char>(x);
    }
    return data;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<platform::DirItem> items;
    platform::ListFolder(folder + "/", items);
    std::vector<std::string> names;
    for (const platform::DirItem& item : items) names.push_back(item.name);
    return names;
}

}  // namespace ql::test
