// PE headers read and rewritten field by field; see pe_image.h.
#include "builder/engine/pe_image.h"

#include <algorithm>
#include <cstring>

#include "builder/engine/byte_fields.h"

namespace ql {

namespace {

namespace opt = pe::optional;
namespace sec = pe::section;
namespace dir = pe::directory;

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
    if (size < pe::dos::kHeaderSize || Le16(bytes_, 0) != pe::dos::kSignature) return false;
    const uint32_t peOffset = Le32(bytes_, pe::dos::kNewHeaderOffset);
    if (uint64_t{peOffset} + pe::kSignatureSize + pe::coff::kHeaderSize > size ||
        Le32(bytes_, peOffset) != pe::kSignature)
        return false;
    coffHeader_ = peOffset + pe::kSignatureSize;
    const uint16_t sectionCount = Le16(bytes_, coffHeader_ + pe::coff::kSectionCount);
    const uint16_t optionalSize = Le16(bytes_, coffHeader_ + pe::coff::kOptionalHeaderSize);
    optionalHeader_ = coffHeader_ + pe::coff::kHeaderSize;
    if (optionalHeader_ + optionalSize > size || optionalSize < opt::kMagicSize) return false;

    size_t countField = 0;
    size_t directories = 0;
    const uint16_t magic = Le16(bytes_, optionalHeader_ + opt::kMagic);
    if (magic == opt::kMagicPe32) {
        countField = opt::kDirectoryCountPe32;
        directories = opt::kDirectoriesPe32;
    } else if (magic == opt::kMagicPe32Plus) {
        countField = opt::kDirectoryCountPe32Plus;
        directories = opt::kDirectoriesPe32Plus;
    } else {
        return false;
    }
    if (optionalSize < directories) return false;
    directoryCount_ = std::min(Le32(bytes_, optionalHeader_ + countField), dir::kMaxCount);
    if (directories + dir::kEntrySize * directoryCount_ > optionalSize) return false;
    dataDirectories_ = optionalHeader_ + directories;
    sectionAlignment_ = Le32(bytes_, optionalHeader_ + opt::kSectionAlignment);
    fileAlignment_ = Le32(bytes_, optionalHeader_ + opt::kFileAlignment);
    sizeOfHeaders_ = Le32(bytes_, optionalHeader_ + opt::kHeadersSize);

    sectionTable_ = optionalHeader_ + optionalSize;
    if (sectionTable_ + uint64_t{sec::kHeaderSize} * sectionCount > size) return false;
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t at = SectionHeaderOffset(i);
        PeSection s;
        s.name.assign(bytes_.data() + at + sec::kName,
                      strnlen(bytes_.data() + at + sec::kName, sec::kNameSize));
        s.virtualSize = Le32(bytes_, at + sec::kVirtualSize);
        s.virtualAddress = Le32(bytes_, at + sec::kVirtualAddress);
        s.rawSize = Le32(bytes_, at + sec::kRawSize);
        s.rawPointer = Le32(bytes_, at + sec::kRawPointer);
        s.characteristics = Le32(bytes_, at + sec::kCharacteristics);
        sections_.push_back(s);
    }
    return true;
}

uint64_t PeImage::BytesNeeded(std::string_view prefix) {
    if (prefix.size() < pe::dos::kHeaderSize) return pe::dos::kHeaderSize;
    if (Le16(prefix, 0) != pe::dos::kSignature) return 0;
    const uint64_t signature = Le32(prefix, pe::dos::kNewHeaderOffset);
    const uint64_t coff = signature + pe::kSignatureSize;
    const uint64_t optional = coff + pe::coff::kHeaderSize;
    if (prefix.size() < optional) return optional;
    if (Le32(prefix, static_cast<size_t>(signature)) != pe::kSignature) return 0;
    const uint16_t optionalSize = Le16(prefix, static_cast<size_t>(coff + pe::coff::kOptionalHeaderSize));
    const uint16_t sectionCount = Le16(prefix, static_cast<size_t>(coff + pe::coff::kSectionCount));
    const uint64_t tableEnd = optional + optionalSize + uint64_t{sec::kHeaderSize} * sectionCount;
    if (prefix.size() < tableEnd) return tableEnd;
    uint64_t end = tableEnd;
    if (optionalSize >= opt::kHeadersSize + 4)
        end = std::max<uint64_t>(end, Le32(prefix, static_cast<size_t>(optional + opt::kHeadersSize)));
    for (uint64_t at = optional + optionalSize; at < tableEnd; at += sec::kHeaderSize) {
        const uint32_t rawSize = Le32(prefix, static_cast<size_t>(at + sec::kRawSize));
        if (rawSize > 0)
            end = std::max(end, uint64_t{Le32(prefix, static_cast<size_t>(at + sec::kRawPointer))} + rawSize);
    }
    return end;
}

uint16_t PeImage::Machine() const { return Le16(bytes_, coffHeader_ + pe::coff::kMachine); }

uint32_t PeImage::CheckSumField() const { return Le32(bytes_, CheckSumOffset()); }

uint32_t PeImage::DirectoryRva(int index) const {
    return static_cast<uint32_t>(index) < directoryCount_ ? Le32(bytes_, DirectoryOffset(index)) : 0;
}

uint32_t PeImage::DirectorySize(int index) const {
    return static_cast<uint32_t>(index) < directoryCount_ ? Le32(bytes_, DirectoryOffset(index) + dir::kSize)
                                                          : 0;
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
    if (!IsPowerOfTwo(fileAlignment_) || !IsPowerOfTwo(sectionAlignment_) ||
        fileAlignment_ > kMaxFileAlignment)
        return false;
    // Every byte that the rebuilt file carries over must really be there.
    if (RawEnd() > bytes_.size()) return false;

    const uint32_t rva = ResourceRva();
    if (rva == 0 && ResourceSize() == 0) {
        // No resources yet: one more section header must fit in the unused,
        // zero-filled space between the section table and the first section.
        if (directoryCount_ <= dir::kResource) return false;
        const uint64_t headerAt = SectionHeaderOffset(sections_.size());
        uint64_t limit = sizeOfHeaders_;
        for (const PeSection& s : sections_)
            if (s.rawSize > 0) limit = std::min<uint64_t>(limit, s.rawPointer);
        if (headerAt + sec::kHeaderSize > limit) return false;
        for (uint64_t i = headerAt; i < headerAt + sec::kHeaderSize; ++i)
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
        if (d == dir::kResource || d == dir::kSecurity) continue;  // security: a file offset
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
        PutLe16(out, coffHeader_ + pe::coff::kSectionCount, static_cast<uint16_t>(sections_.size() + 1));
        out.replace(header + sec::kName, sec::kNameSize, std::string(".rsrc\0\0\0", sec::kNameSize));
        PutLe32(out, header + sec::kVirtualAddress, placement.rva);
        PutLe32(out, header + sec::kRawPointer, rawPointer);
        PutLe32(out, header + sec::kCharacteristics, sec::kInitialisedData | sec::kMemoryRead);
    }
    PutLe32(out, header + sec::kVirtualSize, dataSize);
    PutLe32(out, header + sec::kRawSize, newRaw);

    const size_t resources = DirectoryOffset(dir::kResource);
    PutLe32(out, resources + dir::kAddress, placement.rva);
    PutLe32(out, resources + dir::kSize, dataSize);
    if (placement.last)
        PutLe32(out, optionalHeader_ + opt::kImageSize,
                static_cast<uint32_t>(AlignUp(uint64_t{placement.rva} + dataSize, sectionAlignment_)));
    const size_t initialised = optionalHeader_ + opt::kInitialisedDataSize;
    PutLe32(out, initialised, Le32(out, initialised) + newRaw - oldRaw);

    // A signature and a COFF symbol table stand behind the sections; both are
    // gone now, so their header fields must not point there any more.
    const uint32_t signature = DirectoryRva(dir::kSecurity);
    if (signature != 0 && signature >= out.size()) {
        PutLe32(out, DirectoryOffset(dir::kSecurity) + dir::kAddress, 0);
        PutLe32(out, DirectoryOffset(dir::kSecurity) + dir::kSize, 0);
    }
    const uint32_t symbols = Le32(out, coffHeader_ + pe::coff::kSymbolTable);
    if (symbols != 0 && symbols >= out.size()) {
        PutLe32(out, coffHeader_ + pe::coff::kSymbolTable, 0);
        PutLe32(out, coffHeader_ + pe::coff::kSymbolCount, 0);
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
