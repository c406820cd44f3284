// --list and --test: the stub's container walk over an SFX file on disk.
#include "builder/cli/sfx_inspect.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include "builder/cli/terminal_dialogs.h"
#include "builder/engine/pe_image.h"
#include "platform/text.h"
#include "shared/entry_name.h"

namespace ql {

namespace inspect {

namespace {

// How much of the image in front of the container is read for its headers,
// which stand at its start.
constexpr uint64_t kHeaderReadLimit = 1 << 20;

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

bool ReadAt(SfxFile& sfx, uint64_t offset, void* data, size_t length) {
    size_t got = 0;
    return offset + length <= sfx.size && sfx.file.Seek(offset) == 0 &&
           sfx.file.Read(data, length, got) == 0 && got == length;
}

// The header and name of the entry at `offset`, as far as the file holds them.
struct EntryAt {
    bool header = false;  // the header is there (with an extended entry's Size64)
    bool name = false;    // and the name behind it
    EntryHeader h{};
    int64_t size = 0;
    std::string stored;
    bool Utf8() const { return IsExtendedEntry(h); }
};

EntryAt ReadEntryAt(SfxFile& sfx, int64_t offset) {
    EntryAt at;
    uint8_t b[kEntryHeaderSize + kSize64Size];
    if (offset < 0 || !ReadAt(sfx, static_cast<uint64_t>(offset), b, kEntryHeaderSize)) return at;
    at.h = DecodeEntryHeader(b);
    at.size = at.h.Size;
    uint64_t name = static_cast<uint64_t>(offset) + kEntryHeaderSize;
    if (at.Utf8()) {
        if (!ReadAt(sfx, name, b + kEntryHeaderSize, kSize64Size)) return at;
        at.size = static_cast<int64_t>(ReadLE64(b + kEntryHeaderSize));
        name += kSize64Size;
    }
    at.header = true;
    if (!stub::IsWalkableHeader(at.h, at.size)) return at;
    at.stored.resize(static_cast<size_t>(at.h.NameLength));
    at.name = ReadAt(sfx, name, at.stored.data(), at.stored.size());
    return at;
}

// Why a walk found the data invalid (the stub's code 13): the walk does not
// say, so the entry it stopped in is looked at again.
std::string InvalidDataReason(SfxFile& sfx, int64_t offset, const std::string& lastName) {
    const std::string after = lastName.empty() ? "the ConfigBlock" : "entry " + Quoted(lastName);
    if (static_cast<uint64_t>(offset) >= sfx.size)
        return "the end record is missing: the file ends after " + after;
    const EntryAt at = ReadEntryAt(sfx, offset);
    const std::string where = " (offset " + std::to_string(offset) + ")";
    if (!at.header) return "the file ends inside the entry header after " + after + where;
    if (!stub::IsWalkableHeader(at.h, at.size))
        return "damaged entry header after " + after + where + ": name length " +
               std::to_string(at.h.NameLength) + ", size " + std::to_string(at.size) + ", attributes " +
               Hex(at.h.Attributes);
    if (!at.name) return "the file ends inside the name of the entry after " + after + where;
    const std::string entry = "entry " + Quoted(DisplayName(at.stored, at.Utf8())) + where;
    if (EntryKind(at.h) == kEntryHelper && at.stored != kHelperEntryName)
        return entry + ": a self-delete helper entry must be named " + kHelperEntryName;
    const bool safe = at.Utf8()
                          ? IsSafeUtf8EntryName(at.stored.data(), at.stored.size())
                          : IsSafeEntryName(at.stored.data(), at.stored.size(), platform::AnsiNameEncoding());
    if (!safe) return entry + ": unsafe name, not a plain relative path below the extraction folder";
    return entry + ": the file ends inside the entry's data, or a chunk holds more than is left of the file";
}

// The headers of the executable image in front of the container; false when
// they do not parse.
bool ReadImageHeaders(SfxFile& sfx, PeImage& image) {
    std::string head(static_cast<size_t>(std::min<uint64_t>(sfx.start, kHeaderReadLimit)), '\0');
    return ReadAt(sfx, 0, head.data(), head.size()) && image.Parse(std::move(head));
}

// What follows the end record: nothing, or the signature that signing tools
// append (the certificate table the PE header's security directory points to,
// aligned to 8 bytes). `end` is where the end record ends.
bool SignatureAfter(SfxFile& sfx, uint64_t end, uint64_t& signatureSize) {
    signatureSize = 0;
    PeImage image;
    if (!ReadImageHeaders(sfx, image)) return false;
    const uint64_t offset = image.DirectoryRva(pe::directory::kSecurity);
    const uint64_t size = image.DirectorySize(pe::directory::kSecurity);
    if (size == 0 || offset < end || offset - end >= 8 || offset + size != sfx.size) return false;
    uint8_t padding[8] = {};
    if (!ReadAt(sfx, end, padding, offset - end)) return false;
    for (uint64_t i = 0; i < offset - end; ++i)
        if (padding[i] != 0) return false;
    signatureSize = size;
    return true;
}

}  // namespace

uint32_t FileReader::Seek(int64_t position) {
    if (position < 0) return kErrorNegativeSeek;
    if (int error = file_.Seek(static_cast<uint64_t>(position))) return static_cast<uint32_t>(error);
    position_ = position;
    return 0;
}

uint32_t FileReader::Read(void* data, uint32_t length) {
    size_t got = 0;
    if (int error = file_.Read(data, length, got)) return static_cast<uint32_t>(error);
    position_ += static_cast<int64_t>(got);
    return got == length ? 0 : kErrorInvalidData;  // a file that ends early is damaged
}

bool NameText(const std::string& stored, bool utf8, std::string& text) {
    if (!utf8) return platform::FromAnsi(stored, text);
    text = stored;  // the walk let only well-formed UTF-8 through
    return true;
}

std::string Quoted(const std::string& shown) {
    std::string quoted(1, '\'');  // built up piece by piece: GCC 12 warns wrongly about "'" + text
    quoted += shown;
    quoted += '\'';
    return quoted;
}

std::string DisplayName(const std::string& stored, bool utf8) {
    std::string native;
    if (NameText(stored, utf8, native)) return EscapeControls(native);
    std::string shown;
    for (unsigned char c : stored) {
        if (c < 0x80) {
            shown += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        }
    }
    return EscapeControls(shown);
}

std::string ComparableName(const std::string& stored, bool utf8) {
    std::string native;
    return platform::UpperCaseName(NameText(stored, utf8, native) ? native : stored);
}

std::vector<std::string> StoredNameParts(const std::string& stored, bool utf8) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= stored.size(); ++i) {
        if (i < stored.size() && !utf8 && platform::IsAnsiLeadByte(static_cast<unsigned char>(stored[i]))) {
            ++i;
        } else if (i == stored.size() || stored[i] == '\\') {
            parts.push_back(stored.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::vector<std::string> FolderPrefixes(const std::string& stored, bool utf8) {
    const std::vector<std::string> parts = StoredNameParts(stored, utf8);
    std::vector<std::string> folders;
    std::string folder;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        folder += (i ? "\\" : "") + parts[i];
        folders.push_back(folder);
    }
    return folders;
}

bool OpenSfx(const std::string& path, SfxFile& sfx, std::ostream& err) {
    sfx.path = path;
    int error = sfx.file.OpenRead(path);
    if (error == 0) error = sfx.file.Size(sfx.size);
    if (error != 0) {
        err << "Error: cannot read '" << path << "': " << platform::SystemMessage(error) << "\n";
        return false;
    }
    FileReader reader(sfx.file);
    if (uint32_t code = stub::LocateContainer(reader, static_cast<int64_t>(sfx.size), sfx.start)) {
        if (code == kErrorHandleEof)
            err << "Error: " << path << ": not an SFX file: no container follows an executable image\n";
        else
            err << "Error: cannot read '" << path << "': " << platform::SystemMessage(static_cast<int>(code))
                << "\n";
        return false;
    }
    if (!ReadAt(sfx, sfx.start, sfx.config, config::kSize)) {
        err << "Error: " << path << ": the file ends inside the ConfigBlock\n";
        return false;
    }
    return true;
}

// The stub's verdicts with libdeflate's speed: a chunk is unpacked whole, and
// must be one complete zlib stream that gives exactly its length. A chunk
// that claims more than a buffer should hold is streamed as the stub does.
uint32_t InflateWhole(const uint8_t* packed, uint32_t packedLength, uint32_t unpackedLength,
                      stub::ChunkOutput output, void* context) {
    constexpr uint32_t kLargestWhole = 64u << 20;
    if (unpackedLength > kLargestWhole)
        return stub::InflateChunk(packed, packedLength, unpackedLength, output, context);
    static libdeflate_decompressor* const decompressor = libdeflate_alloc_decompressor();
    static std::vector<uint8_t> unpacked;
    if (decompressor == nullptr) return kErrorNotEnoughMemory;
    unpacked.resize(std::max<size_t>(unpackedLength, 1));
    size_t in = 0, out = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor, packed, packedLength, unpacked.data(), unpackedLength, &in, &out);
    if (result != LIBDEFLATE_SUCCESS || in != packedLength || out != unpackedLength)
        return kErrorBadArguments;
    return output(context, unpacked.data(), unpackedLength);
}

stub::Failure WalkSfx(SfxFile& sfx, FileReader& reader, const std::string& base, stub::EntrySink& sink) {
    static std::unique_ptr<uint8_t[]> buffer(new uint8_t[kMaxPackedChunk]);
    std::vector<char> targetPath(base.size() + stub::kMaxNameLength + 1);
    stub::ExtractionPlan plan;
    plan.containerStart = sfx.start;
    plan.fileSize = static_cast<int64_t>(sfx.size);
    plan.compressed = sfx.config[config::kCompression] != 0;
    plan.folder = base.c_str();
    plan.helperFolder = base.c_str();
    plan.buffer = buffer.get();
    plan.targetPath = targetPath.data();
    plan.names = platform::AnsiNameEncoding();
    plan.inflate = InflateWhole;
    return stub::ExtractEntries(reader, plan, sink);
}

std::string DescribeFailure(SfxFile& sfx, const stub::Failure& failure, const std::string& lastName) {
    if (failure.code == kErrorInvalidData) return InvalidDataReason(sfx, failure.offset, lastName);
    const EntryAt at = ReadEntryAt(sfx, failure.offset);
    const std::string entry = at.name ? "entry " + Quoted(DisplayName(at.stored, at.Utf8())) + " (offset " +
                                            std::to_string(failure.offset) + ")"
                                      : "offset " + std::to_string(failure.offset);
    switch (failure.code) {
        case kErrorCrc: return entry + ": the checksum does not match the content";
        case kErrorBadArguments:
            return entry + ": a chunk is damaged: it does not unpack to the length its header gives";
        case kErrorNotEnoughMemory: return entry + ": a chunk claims more than 10 MiB of packed data";
        default: return entry + ": " + platform::SystemMessage(static_cast<int>(failure.code));
    }
}

}  // namespace inspect

using inspect::Check;
using inspect::SfxFile;

namespace {

// Sees every entry the walk gets through and can list them; it writes
// nothing, but hands everything on to `next`, when there is one, once its own
// checks passed.
class CheckingSink final : public stub::EntrySink {
public:
    CheckingSink(SfxFile& sfx, inspect::FileReader& position, std::ostream* listing, stub::EntrySink* next)
        : sfx_(sfx), position_(position), listing_(listing), next_(next) {}

    void MakeFolder(const char* path, const stub::WalkEntry& entry) override {
        Begin(path, entry);
        if (next_) next_->MakeFolder(path, entry);
    }

    // Windows cannot create a file inside a file: the SFX file would stop
    // there, unable to find the path.
    uint32_t BeginFile(const char* path, const stub::WalkEntry& entry, bool& writing) override {
        writing = false;
        Begin(path, entry);
        if (EntryKind(entry.header) == kEntryHelper)  // it goes to the temporary folder
            return next_ ? next_->BeginFile(path, entry, writing) : 0;
        for (const std::string& folder : inspect::FolderPrefixes(name_, utf8_)) {
            const auto file = files_.find(inspect::ComparableName(folder, utf8_));
            if (file == files_.end()) continue;
            check.fault = "entry " + inspect::Quoted(Shown()) + " (offset " + std::to_string(EntryOffset()) +
                          ") lies inside the file entry " + inspect::Quoted(file->second) +
                          ", where no file can be created";
            return kErrorPathNotFound;
        }
        files_.emplace(inspect::ComparableName(name_, utf8_), Shown());
        return next_ ? next_->BeginFile(path, entry, writing) : 0;
    }

    uint32_t Write(const void* data, uint32_t length) override {
        return next_ ? next_->Write(data, length) : 0;
    }

    void EndFile(const stub::WalkEntry& entry, bool writing) override {
        packed_ = static_cast<uint64_t>(position_.Position()) - bodyStart_ - kChecksumSize;
        if (next_) next_->EndFile(entry, writing);
    }

    void Progress(uint32_t length) override {
        if (next_) next_->Progress(length);
    }

    // The last call for every entry, once its checksum matched, which the
    // walk has just read.
    void SetAttributes(const char* path, const stub::WalkEntry& entry) override {
        if (next_) next_->SetAttributes(path, entry);
        check.lastName = Shown();
        const uint64_t end = static_cast<uint64_t>(position_.Position());
        uint8_t checksum[kChecksumSize] = {};
        inspect::ReadAt(sfx_, end - kChecksumSize, checksum, sizeof checksum);
        sfx_.file.Seek(end);
        check.entries.push_back({name_, header_, size_, packed_, ReadLE32(checksum)});
        (IsFolderEntry(header_) ? check.folders : check.files) += 1;
        check.data += static_cast<uint64_t>(size_);
        check.packed += packed_;
        if (listing_) List();
    }

    Check check;

private:
    int64_t EntryOffset() const {
        return static_cast<int64_t>(bodyStart_ - name_.size() - EntryHeadSize(header_));
    }

    std::string Shown() const { return inspect::DisplayName(name_, utf8_); }

    // The walk has just read the header and the name.
    void Begin(const char* path, const stub::WalkEntry& entry) {
        name_ = path;
        bodyStart_ = static_cast<uint64_t>(position_.Position());
        packed_ = 0;
        header_ = entry.header;
        size_ = entry.size;
        utf8_ = IsExtendedEntry(entry.header);
    }

    void List() {
        static const char* const kKinds[] = {"file", "program", "helper"};
        const bool folder = IsFolderEntry(header_);
        const char* kind = folder ? "folder" : EntryKind(header_) < 3 ? kKinds[EntryKind(header_)] : "?";
        std::string attributes = "------";
        const char letters[] = "RHS-DA";
        for (int i = 0; i < 6; ++i)
            if (i != 3 && (header_.Attributes >> i) & 1) attributes[i] = letters[i];
        if (header_.Attributes & kAttrReparsePoint) attributes[3] = 'L';  // a reparse point: a linked folder
        char time[24] = "-";
        if (header_.FileTime != 0) {
            const uint32_t t = header_.FileTime;
            std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (t >> 25),
                          (t >> 21) & 15, (t >> 16) & 31, (t >> 11) & 31, (t >> 5) & 63, (t & 31) * 2);
        }
        char line[128];
        std::snprintf(line, sizeof line, "%-7s %s %12lld %12llu  %-19s  ", kind, attributes.c_str(),
                      static_cast<long long>(size_), static_cast<unsigned long long>(packed_), time);
        *listing_ << line << Shown() << "\n";
    }

    SfxFile& sfx_;
    inspect::FileReader& position_;
    std::ostream* listing_;
    std::string name_;
    EntryHeader header_{};
    int64_t size_ = 0;
    bool utf8_ = false;
    uint64_t bodyStart_ = 0, packed_ = 0;
    std::map<std::string, std::string> files_;  // the file entries so far, shown, by ComparableName
    stub::EntrySink* next_;
};

Check CheckEntries(SfxFile& sfx, std::ostream* listing, stub::EntrySink* next = nullptr) {
    inspect::FileReader reader(sfx.file);
    CheckingSink sink(sfx, reader, listing, next);
    sink.check.failure = inspect::WalkSfx(sfx, reader, "", sink);
    return sink.check;
}

// True when the walk got through every entry; else the fault is reported.
bool WalkedThrough(SfxFile& sfx, const Check& check, std::ostream& err) {
    if (!check.failure.code) return true;
    err << "Error: " << sfx.path << ": "
        << (check.fault.empty() ? inspect::DescribeFailure(sfx, check.failure, check.lastName) : check.fault)
        << "\n";
    return false;
}

// A zero-ended text field, as shown.
std::string Text(const uint8_t* field, size_t size) {
    size_t length = 0;
    while (length < size && field[length] != 0) ++length;
    return inspect::DisplayName(std::string(reinterpret_cast<const char*>(field), length));
}

// The rules the SFX file applies to its configuration before it extracts.
bool CheckConfiguration(SfxFile& sfx, std::ostream& err) {
    inspect::FileReader reader(sfx.file);
    stub::EntryTotals totals;
    const bool compressed = sfx.config[config::kCompression] != 0;
    if (stub::SizeEntries(reader, sfx.start, static_cast<int64_t>(sfx.size), compressed, totals, nullptr)) {
        err << "Error: " << sfx.path << ": the entry headers do not lead to the end record\n";
        return false;
    }
    if (stub::CheckInstanceId(sfx.config, platform::AnsiNameEncoding())) {
        err << "Error: " << sfx.path << ": the instance identifier "
            << inspect::Quoted(Text(sfx.config + config::kInstanceId, config::kSize - config::kInstanceId))
            << " is not one plain name, and it names the temporary extraction folder\n";
        return false;
    }
    if (stub::CheckRunEntry(sfx.config, totals)) {
        err << "Error: " << sfx.path << ": the SFX file is to run a program, but no entry is the program\n";
        return false;
    }
    return true;
}

// A walk that got through is checked as the stub's sizing pass checks, and
// for what follows the end record. True when sound; else the fault is reported.
bool CheckRest(SfxFile& sfx, Check& check, std::ostream& err) {
    if (check.data == 0) {
        err << "Error: " << sfx.path
            << ": the entries hold no file data, and an SFX file without any refuses to run\n";
        return false;
    }
    const uint64_t end = static_cast<uint64_t>(check.failure.offset);
    if (end != sfx.size && !inspect::SignatureAfter(sfx, end, check.signature)) {
        err << "Error: " << sfx.path << ": " << sfx.size - end
            << " bytes follow the end record, and they are not a signature\n";
        return false;
    }
    return CheckConfiguration(sfx, err);
}

std::string Count(uint64_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string Choice(uint8_t value, std::initializer_list<const char*> names) {
    if (value < names.size()) return names.begin()[value];
    return "unknown (" + std::to_string(value) + ")";
}

void ListConfiguration(SfxFile& sfx, std::ostream& out) {
    const uint8_t* c = sfx.config;
    const std::string machine = inspect::StubArchitecture(sfx);
    auto yes = [](uint8_t v) { return std::string(v ? "yes" : "no"); };
    out << sfx.path << "\n"
        << "  stub               " << machine << ", " << Count(sfx.start, "byte")
        << "; the container follows\n"
        << "  mode               "
        << Choice(c[config::kExtractionMode], {"extract", "extract, then run the program entry"}) << "\n"
        << "  extraction folder  "
        << Choice(c[config::kExtractionFolder], {"temporary folder", "desktop", "documents", "current folder",
                                                 "chosen by the user", "custom"})
        << "\n";
    if (c[config::kExtractionFolder] == kFolderCustom)
        out << "  custom folder      " << Text(c + config::kCustomFolder, config::kCustomFolderSize) << "\n";
    out << "  parameters         " << Text(c + config::kCmdParameters, config::kCmdParametersSize) << "\n"
        << "  instance id        " << Text(c + config::kInstanceId, config::kInstanceIdSize) << "\n"
        << "  open folder        " << yes(c[config::kOpenFolder]) << "\n"
        << "  one instance       " << yes(c[config::kOneInstance]) << "\n"
        << "  silent             " << yes(c[config::kSilentMode]) << "\n"
        << "  self-delete        " << yes(c[config::kSelfDeleteMode]) << "\n"
        << "  delete files       "
        << Choice(c[config::kDeleteMode], {"after the run", "at the next restart", "never"}) << "\n"
        << "  working folder     "
        << Choice(c[config::kWorkingDirectory],
                  {"extraction folder", "folder of the SFX file", "current folder"})
        << "\n"
        << "  existing files     " << Choice(c[config::kOverwriteMode], {"ask", "overwrite", "keep"}) << "\n"
        << "  compression        " << (c[config::kCompression] ? "zlib chunks" : "none") << "\n\n";
}

}  // namespace

std::string inspect::StubArchitecture(SfxFile& sfx) {
    PeImage image;
    if (!inspect::ReadImageHeaders(sfx, image)) return "?";
    return image.Machine() == pe::coff::kMachineI386    ? "i686"
           : image.Machine() == pe::coff::kMachineAmd64 ? "x86_64"
                                                        : inspect::Hex(image.Machine());
}

bool inspect::CheckSfx(SfxFile& sfx, Check& check, std::ostream& err, stub::EntrySink* alongside) {
    check = CheckEntries(sfx, nullptr, alongside);
    return WalkedThrough(sfx, check, err) && CheckRest(sfx, check, err);
}

int TestSfx(const std::string& path, std::ostream& out, std::ostream& err) {
    SfxFile sfx;
    Check check;
    if (!inspect::OpenSfx(path, sfx, err) || !inspect::CheckSfx(sfx, check, err)) return 1;
    out << path << ": OK: " << Count(check.files, "file") << " and " << Count(check.folders, "folder") << ", "
        << Count(check.data, "byte") << (check.signature ? "; signed" : "") << "\n";
    return 0;
}

int ListSfx(const std::string& path, std::ostream& out, std::ostream& err) {
    SfxFile sfx;
    if (!inspect::OpenSfx(path, sfx, err)) return 1;
    ListConfiguration(sfx, out);
    out << "type    attrib         size       packed  modified             name\n";
    Check check = CheckEntries(sfx, &out);
    out << std::flush;
    if (!WalkedThrough(sfx, check, err)) return 1;
    const bool sound = CheckRest(sfx, check, err);
    out << "\n"
        << Count(check.files, "file") << " and " << Count(check.folders, "folder") << ": "
        << Count(check.data, "byte") << ", packed to " << Count(check.packed, "byte");
    if (check.signature) out << "; a signature of " << check.signature << " bytes follows";
    out << "\n";
    return sound ? 0 : 1;
}

}  // namespace ql
