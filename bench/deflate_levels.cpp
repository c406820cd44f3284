// How libdeflate's levels compare with zlib's level 9 on the files named on
// standard input, one a line, in the builder's 9 MiB chunks: time and packed
// size of each, relative to zlib. The data is read into memory first, so only
// packing is timed. The builder's default level is chosen from this.
//
//     deflate_levels [highest level] < list
#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "shared/container.h"

namespace {

using Chunks = std::vector<std::vector<unsigned char>>;

template <typename Pack>
void Measure(const Chunks& chunks, Pack pack, double& seconds, unsigned long long& packed) {
    auto start = std::chrono::steady_clock::now();
    packed = 0;
    for (const auto& chunk : chunks) packed += pack(chunk);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int highest = argc > 1 ? std::atoi(argv[1]) : 12;  // the levels to try: 1 to this
    const size_t chunkSize = ql::kChunkSize;
    Chunks chunks;
    unsigned long long bytes = 0;
    for (std::string path; std::getline(std::cin, path);) {
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        size_t left = static_cast<size_t>(file.tellg());
        file.seekg(0);
        while (left > 0 && file) {
            std::vector<unsigned char> chunk(left < chunkSize ? left : chunkSize);
            file.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
            left -= chunk.size();
            bytes += chunk.size();
            chunks.push_back(std::move(chunk));
        }
    }
    std::vector<unsigned char> out(compressBound(chunkSize) + 4096);
    double zlibSeconds = 0;
    unsigned long long zlibPacked = 0;
    Measure(
        chunks,
        [&](const std::vector<unsigned char>& c) {
            uLongf length = out.size();
            compress2(out.data(), &length, c.data(), c.size(), 9);
            return static_cast<unsigned long long>(length);
        },
        zlibSeconds, zlibPacked);
    std::printf("%llu bytes in %zu chunks\n", bytes, chunks.size());
    std::printf("%-14s %9s %6s %14s %6s\n", "packer", "seconds", "time", "packed", "size");
    std::printf("%-14s %9.2f %6.3f %14llu %6.4f\n", "zlib 9", zlibSeconds, 1.0, zlibPacked, 1.0);
    for (int level = 1; level <= highest; ++level) {
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
        double seconds = 0;
        unsigned long long packed = 0;
        Measure(
            chunks,
            [&](const std::vector<unsigned char>& c) {
                return static_cast<unsigned long long>(
                    libdeflate_zlib_compress(compressor, c.data(), c.size(), out.data(), out.size()));
            },
            seconds, packed);
        libdeflate_free_compressor(compressor);
        std::printf("libdeflate %-3d %9.2f %6.3f %14llu %6.4f\n", level, seconds, seconds / zlibSeconds,
                    packed, static_cast<double>(packed) / static_cast<double>(zlibPacked));
    }
    return 0;
}
