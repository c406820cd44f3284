// An independent reader of SFX files for the tests: finds the container behind
// the PE image, inflates every chunk and verifies every checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql::test {

struct ReadEntry {
    uint8_t type = 0;  // as stored: the kind, plus 0x80 in an extended entry
    std::string name;  // as stored: UTF-8 in an extended entry
    int64_t size = 0;  // Size, or the Size64 of an extended entry
    uint32_t fileTime = 0;
    uint32_t attributes = 0;
    std::vector<uint32_t> chunkLengths;  // unpacked length of each chunk
    std::string data;                    // the unpacked file data; only its sum above kKeptData
    uint32_t dataSum = 0;                // ByteSum of the unpacked data
    uint32_t storedChecksum = 0;
    uint64_t offset = 0;    // where the entry header starts
    uint64_t byteSize = 0;  // the entry's size in the file
};

// Data beyond this size is summed, not kept: a file of 2 GiB stays on disk.
constexpr int64_t kKeptData = 64 << 20;

struct ReadContainer {
    uint64_t start = 0;  // container start, from the section table
    std::string config;  // the 2330-byte configuration block
    std::vector<ReadEntry> entries;
    uint64_t endRecordOffset = 0;
};

// The end of the raw data of the last section of the PE image in `file`; 0
// when it is not a PE image.
uint64_t ContainerStart(const std::string& file);

// Parses the whole SFX file. Any structural fault, failed inflation or checksum
// mismatch is reported through `error` (and the result is incomplete).
ReadContainer ReadSfx(const std::string& file, std::string& error);

// The entry of that stored name; null when there is none.
const ReadEntry* FindEntry(const ReadContainer& container, const std::string& name);

}  // namespace ql::test
