// PE headers read and rewritten field by field; see pe_image.h.
#include "builder/engine/pe_image.h"

#include <algorithm>
#include <cstring>

#include "builder/engine/byte_fields.h"

namespace ql {

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kInitialisedData = 0x00000040;
constexpr uint32_t kMemoryRead = 0x40000000;
// Resource sections stay far below the 2 GiB that the directory's offsets can
// address; anything larger is refused rather than built.
constexpr uint32_t kMaxResourceSize = 0x40000000;
constexpr uint32_t kMaxFileAlignment = 0x10000;


bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }
uint64_t AlignUp(uint64_t v, uint32_t alignment) { return (v + alignment - 1) / alignment * alignment; }

}  // namespace

bool PeImage::Parse(std::string bytes) {
    bytes_ = std::move(bytes);
    sections_.clear();
    const uint64_t size = bytes_.size();
    if (size < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z') return false;
    const uint32_t peOffset = Le32(bytes_, 60);
    if (uint64_t{peOffset} + 24 > size || std::memcmp(bytes_.data() + peOffset, "PE\0\0", 4) != 0)
        return false;
    coffHeader_ = peOffset + 4;
    const uint16_t sectionCount = Le16(bytes_, coffHeader_ + 2);
    const uint16_t optionalSize = Le16(bytes_, coffHeader_ + 16);
    optionalHeader_ = coffHeader_ + 20;
    if (optionalHeader_ + optionalSize > size || optionalSize < 2) return false;

    size_t countField = 0;
    size_t directories = 0;
    const uint16_t magic = Le16(bytes_, optionalHeader_);
    if (magic == kMagicPe32) {
        countField = 92;
        directories = 96;
    } else if (magic == kMagicPe32Plus) {
        countField = 108;
        directories = 112;
    } else {
        return false;
    }
    if (optionalSize < directories) return false;
    pe32Plus_ = magic == kMagicPe32Plus;
    directoryCount_ = std::min(Le32(bytes_, optionalHeader_ + countField), kMaxDirectories);
    if (directories + 8 * directoryCount_ > optionalSize) return false;
    dataDirectories_ = optionalHeader_ + directories;
    sectionAlignment_ = Le32(bytes_, optionalHeader_ + 32);
    fileAlignment_ = Le32(bytes_, optionalHeader_ + 36);
    sizeOfHeaders_ = Le32(bytes_, optionalHeader_ + 60);

    sectionTable_ = optionalHeader_ + optionalSize;
    if (sectionTable_ + uint64_t{kSectionHeaderSize} * sectionCount > size) return false;
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t at = SectionHeaderOffset(i);
        PeSection s;
        s.name.assign(bytes_.data() + at, strnlen(bytes_.data() + at, 8));
        s.virtualSize = Le32(bytes_, at + 8);
        s.virtualAddress = Le32(bytes_, at + 12);
        s.rawSize = Le32(bytes_, at + 16);
        s.rawPointer = Le32(bytes_, at + 20);
        s.characteristics = Le32(bytes_, at + 36);
        sections_.push_back(s);
    }
    return true;
}

uint64_t PeImage::BytesNeeded(std::string_view prefix) {
    if (prefix.size() < 64) return 64;
    if (prefix[0] != 'M' || prefix[1] != 'Z') return 0;
    const uint64_t coff = uint64_t{Le32(prefix, 60)} + 4;
    if (prefix.size() < coff + 20) return coff + 20;
    if (prefix.substr(static_cast<size_t>(coff - 4), 4) != std::string_view("PE\0\0", 4)) return 0;
    const uint64_t optional = coff + 20;
    const uint16_t optionalSize = Le16(prefix, static_cast<size_t>(coff + 16));
    const uint16_t sectionCount = Le16(prefix, static_cast<size_t>(coff + 2));
    const uint64_t tableEnd = optional + optionalSize + uint64_t{kSectionHeaderSize} * sectionCount;
    if (prefix.size() < tableEnd) return tableEnd;
    uint64_t end = tableEnd;
    if (optionalSize >= 64) end = std::max<uint64_t>(end, Le32(prefix, static_cast<size_t>(optional + 60)));
    for (uint64_t at = optional + optionalSize; at < tableEnd; at += kSectionHeaderSize) {
        const uint32_t rawSize = Le32(prefix, static_cast<size_t>(at + 16));
        if (rawSize > 0) end = std::max(end, uint64_t{Le32(prefix, static_cast<size_t>(at + 20))} + rawSize);
    }
    return end;
}

uint32_t PeImage::CheckSumField() const { return Le32(bytes_, CheckSumOffset()); }

uint32_t PeImage::DirectoryRva(int index) const {
    return static_cast<uint32_t>(index) < directoryCount_ ? Le32(bytes_, DirectoryOffset(index)) : 0;
}

uint32_t PeImage::DirectorySize(int index) const {
    return static_cast<uint32_t>(index) < directoryCount_ ? Le32(bytes_, DirectoryOffset(index) + 4) : 0;
}

bool PeImage::SectionTail(uint32_t rva, std::string_view& out) const {
    for (const PeSection& s : sections_) {
        if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
        const uint64_t start = uint64_t{s.rawPointer} + (rva - s.virtualAddress);
        const uint64_t end = std::min<uint64_t>(uint64_t{s.rawPointer} + s.rawSize, bytes_.size());
        if (start >= end) return false;
        out = std::string_view(bytes_).substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
        return true;
    }
    return false;
}

bool PeImage::ReadAt(uint32_t rva, uint32_t size, std::string_view& out) const {
    std::string_view tail;
    if (!SectionTail(rva, tail) || tail.size() < size) return false;
    out = tail.substr(0, size);
    return true;
}

uint64_t PeImage::RawEnd() const {
    uint64_t end = sizeOfHeaders_;
    for (const PeSection& s : sections_)
        if (s.rawSize > 0) end = std::max(end, uint64_t{s.rawPointer} + s.rawSize);
    return end;
}

bool PeImage::PlaceResources(ResourcePlacement& placement) const {
    // The format allows a file alignment of at most 64 KiB; a larger one would
    // pad the rewritten file by as much.
    if (!IsPowerOfTwo(fileAlignment_) || !IsPowerOfTwo(sectionAlignment_) || fileAlignment_ > kMaxFileAlignment)
        return false;
    // Every byte that the rebuilt file carries over must really be there.
    if (RawEnd() > bytes_.size()) return false;

    const uint32_t rva = ResourceRva();
    if (rva == 0 && ResourceSize() == 0) {
        // No resources yet: one more section header must fit in the unused,
        // zero-filled space between the section table and the first section.
        if (directoryCount_ <= kResourceDirectory) return false;
        const uint64_t headerAt = SectionHeaderOffset(sections_.size());
        uint64_t limit = sizeOfHeaders_;
        for (const PeSection& s : sections_)
            if (s.rawSize > 0) limit = std::min<uint64_t>(limit, s.rawPointer);
        if (headerAt + kSectionHeaderSize > limit) return false;
        for (uint64_t i = headerAt; i < headerAt + kSectionHeaderSize; ++i)
            if (bytes_[static_cast<size_t>(i)] != 0) return false;
        uint64_t end = AlignUp(sizeOfHeaders_, sectionAlignment_);
        for (const PeSection& s : sections_)
            end = std::max(end, AlignUp(uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize),
                                        sectionAlignment_));
        if (end + kMaxResourceSize > 0xFFFFFFFFull) return false;
        placement = {static_cast<uint32_t>(end), kMaxResourceSize, -1, true};
        return true;
    }

    // The resource directory must open a section of its own, so that the whole
    // section can be replaced without touching anything else the image uses.
    int index = -1;
    for (size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].virtualAddress == rva && sections_[i].rawSize > 0) index = static_cast<int>(i);
    if (index < 0) return false;
    const PeSection& r = sections_[static_cast<size_t>(index)];
    if (r.rawPointer < SectionHeaderOffset(sections_.size())) return false;
    const uint64_t span = std::max(r.virtualSize, r.rawSize);
    for (uint32_t d = 0; d < directoryCount_; ++d) {
        if (d == kResourceDirectory || d == kSecurityDirectory) continue;  // security: a file offset
        const uint64_t start = DirectoryRva(static_cast<int>(d));
        const uint64_t length = DirectorySize(static_cast<int>(d));
        if (start == 0 || length == 0) continue;
        if (start < rva + span && rva < start + length) return false;
    }

    bool last = true;
    uint64_t nextVa = 0xFFFFFFFFull;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (static_cast<int>(i) == index) continue;
        const PeSection& s = sections_[i];
        if (s.virtualAddress >= r.virtualAddress) {
            last = false;
            nextVa = std::min<uint64_t>(nextVa, s.virtualAddress);
        }
        if (s.rawSize > 0 && uint64_t{s.rawPointer} + s.rawSize > r.rawPointer) last = false;
    }
    if (last) {
        if (uint64_t{rva} + kMaxResourceSize > 0xFFFFFFFFull) return false;
        placement = {rva, kMaxResourceSize, index, true};
    } else {
        // Another section follows: the data may only fill the room it has now.
        if (nextVa <= rva) return false;
        placement = {rva, static_cast<uint32_t>(std::min<uint64_t>(r.rawSize, nextVa - rva)), index, false};
    }
    return true;
}

bool PeImage::Rebuild(const ResourcePlacement& placement, const std::string& data, std::string& out) const {
    if (data.empty() || data.size() > placement.maxSize) return false;
    const uint32_t dataSize = static_cast<uint32_t>(data.size());
    const size_t rawEnd = static_cast<size_t>(RawEnd());
    uint32_t rawPointer = 0;
    uint32_t oldRaw = 0;
    uint32_t newRaw = 0;
    if (placement.section >= 0) {
        const PeSection& r = sections_[static_cast<size_t>(placement.section)];
        rawPointer = r.rawPointer;
        oldRaw = r.rawSize;
        newRaw = placement.last ? static_cast<uint32_t>(AlignUp(dataSize, fileAlignment_)) : r.rawSize;
        out.assign(bytes_, 0, placement.last ? rawPointer : rawEnd);
    } else {
        rawPointer = static_cast<uint32_t>(AlignUp(rawEnd, fileAlignment_));
        newRaw = static_cast<uint32_t>(AlignUp(dataSize, fileAlignment_));
        out.assign(bytes_, 0, rawEnd);
    }
    // Resource data, then zeros up to the section's raw size; nothing is left
    // behind the last section, so whatever is appended later directly follows it.
    out.resize(std::max<size_t>(out.size(), size_t{rawPointer} + newRaw), '\0');
    std::copy(data.begin(), data.end(), out.begin() + rawPointer);
    std::fill(out.begin() + rawPointer + dataSize, out.begin() + rawPointer + newRaw, '\0');

    size_t header = 0;
    if (placement.section >= 0) {
        header = SectionHeaderOffset(static_cast<size_t>(placement.section));
    } else {
        header = SectionHeaderOffset(sections_.size());
        PutLe16(out, coffHeader_ + 2, static_cast<uint16_t>(sections_.size() + 1));
        out.replace(header, 8, std::string(".rsrc\0\0\0", 8));
        PutLe32(out, header + 12, placement.rva);
        PutLe32(out, header + 20, rawPointer);
        PutLe32(out, header + 36, kInitialisedData | kMemoryRead);
    }
    PutLe32(out, header + 8, dataSize);
    PutLe32(out, header + 16, newRaw);

    PutLe32(out, DirectoryOffset(kResourceDirectory), placement.rva);
    PutLe32(out, DirectoryOffset(kResourceDirectory) + 4, dataSize);
    if (placement.last)
        PutLe32(out, optionalHeader_ + 56,
              static_cast<uint32_t>(AlignUp(uint64_t{placement.rva} + dataSize, sectionAlignment_)));
    PutLe32(out, optionalHeader_ + 8, Le32(out, optionalHeader_ + 8) + newRaw - oldRaw);

    // A signature and a COFF symbol table stand behind the sections; both are
    // gone now, so their header fields must not point there any more.
    const uint32_t signature = DirectoryRva(kSecurityDirectory);
    if (signature != 0 && signature >= out.size()) {
        PutLe32(out, DirectoryOffset(kSecurityDirectory), 0);
        PutLe32(out, DirectoryOffset(kSecurityDirectory) + 4, 0);
    }
    const uint32_t symbols = Le32(out, coffHeader_ + 8);
    if (symbols != 0 && symbols >= out.size()) {
        PutLe32(out, coffHeader_ + 8, 0);
        PutLe32(out, coffHeader_ + 12, 0);
    }
    if (CheckSumField() != 0) PutLe32(out, CheckSumOffset(), PeCheckSum(out, CheckSumOffset()));
    return true;
}

uint32_t PeCheckSum(std::string_view file, size_t checkSumOffset) {
    auto byte = [&](size_t i) -> uint32_t {
        if (i >= file.size() || (i >= checkSumOffset && i < checkSumOffset + 4)) return 0;
        return static_cast<uint8_t>(file[i]);
    };
    uint32_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        sum += byte(i) | (byte(i + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + static_cast<uint32_t>(file.size());
}

}  // namespace ql
