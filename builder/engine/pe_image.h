// The parts of a PE file (PE32 or PE32+) that resource editing needs: the
// headers, the section table and the resource data directory, read field by
// field from the file's bytes; and the file rebuilt around a new resource
// section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/pe_layout.h"

namespace ql {

struct PeSection {
    std::string name;  // up to 8 bytes, without the zero padding
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
    uint32_t characteristics = 0;
};

// Where a rebuilt resource section goes and how large it may be.
struct ResourcePlacement {
    uint32_t rva = 0;      // the section's virtual address; resource data RVAs are built on it
    uint32_t maxSize = 0;  // the largest resource data that fits there
    int section = -1;      // index of the section that is rewritten; -1: a new last section
    bool last = false;     // the section is the last one, so it may grow or shrink
};

class PeImage {
public:
    // Takes the file's bytes; false when they are not a PE image whose headers
    // lie within them. Section data may be cut short; only what is there can be read.
    bool Parse(std::string bytes);

    // How many bytes from the start of a file the image occupies (headers and
    // every section's raw data), as far as `prefix` shows; more than the
    // prefix when it is too short to tell, 0 when it is no PE image. Lets a
    // reader skip what is appended behind the image, such as an installer's payload.
    static uint64_t BytesNeeded(std::string_view prefix);

    const std::string& Bytes() const { return bytes_; }
    uint16_t Machine() const;
    const std::vector<PeSection>& Sections() const { return sections_; }
    // A data directory (pe::directory); 0 for one the image does not have.
    uint32_t DirectoryRva(int index) const;
    uint32_t DirectorySize(int index) const;
    uint32_t ResourceRva() const { return DirectoryRva(pe::directory::kResource); }
    uint32_t ResourceSize() const { return DirectorySize(pe::directory::kResource); }
    uint32_t CheckSumField() const;
    size_t CheckSumOffset() const { return optionalHeader_ + pe::optional::kCheckSum; }

    // The bytes at `rva` when all `size` of them lie in the raw data of one section.
    bool ReadAt(uint32_t rva, uint32_t size, std::string_view& out) const;
    // The raw bytes of the section holding `rva`, from `rva` to the end of its raw data.
    bool SectionTail(uint32_t rva, std::string_view& out) const;

    // Decides where new resource data can go: the existing resource section
    // (grown or shrunk when it is the last section, else only within its
    // current raw size), or a new section behind the last one when the file has
    // no resources. False when the layout does not allow a safe rewrite.
    bool PlaceResources(ResourcePlacement& placement) const;

    // The whole file with `data` (laid out for placement.rva) as its resource
    // section: section header, data directory, image size and initialised-data
    // size corrected, anything behind the last section dropped, and the checksum
    // recomputed unless the file had none (0).
    bool Rebuild(const ResourcePlacement& placement, const std::string& data, std::string& out) const;

private:
    size_t DirectoryOffset(int index) const {
        return dataDirectories_ + pe::directory::kEntrySize * static_cast<size_t>(index);
    }
    size_t SectionHeaderOffset(size_t index) const {
        return sectionTable_ + pe::section::kHeaderSize * index;
    }
    uint64_t RawEnd() const;  // end of the last section's raw data, at least the headers' end

    std::string bytes_;
    size_t coffHeader_ = 0;  // the 20-byte file header, behind the "PE\0\0" signature
    size_t optionalHeader_ = 0;
    size_t dataDirectories_ = 0;
    uint32_t directoryCount_ = 0;
    size_t sectionTable_ = 0;
    uint32_t sectionAlignment_ = 0;
    uint32_t fileAlignment_ = 0;
    uint32_t sizeOfHeaders_ = 0;
    std::vector<PeSection> sections_;
};

// The standard PE image checksum: 16-bit one's-complement style sum of the
// file with the checksum field counted as zero, plus the file's length.
uint32_t PeCheckSum(std::string_view file, size_t checkSumOffset);

}  // namespace ql
