// Baseline for the build benchmark: the files named on standard input, one a
// line, read in the builder's 9 MiB chunks and packed with plain
// single-threaded zlib at level 9. Prints bytes read, bytes packed, seconds.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "shared/container.h"

int main() {
    const size_t chunk = ql::kChunkSize;
    std::vector<unsigned char> in(chunk), out(compressBound(chunk));
    unsigned long long bytes = 0, packed = 0;
    auto start = std::chrono::steady_clock::now();
    for (std::string path; std::getline(std::cin, path);) {
        std::ifstream file(path, std::ios::binary);
        while (file) {
            file.read(reinterpret_cast<char*>(in.data()), static_cast<std::streamsize>(chunk));
            std::streamsize n = file.gcount();
            if (n <= 0) break;
            uLongf length = out.size();
            if (compress2(out.data(), &length, in.data(), static_cast<uLong>(n), 9) != Z_OK) return 1;
            bytes += static_cast<unsigned long long>(n);
            packed += length;
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu %llu %.6f\n", bytes, packed, seconds);
    return 0;
}
