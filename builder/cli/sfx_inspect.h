// Looking into SFX files without Windows: the Linux builder's --list, --test
// and --extract. The stub's own container walk reads the file, so a file
// passes here exactly when the stub would extract it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/file.h"
#include "shared/container.h"
#include "stub/container_walk.h"

namespace ql {

// Each returns the exit status: 0, or 1 after a fault, which is reported on
// `err` naming the entry and the reason.

// The configuration and the entries, checked as they are read.
int ListSfx(const std::string& path, std::ostream& out, std::ostream& err);

// The same as one JSON document, for scripts; written only for a file that
// passes every check, else nothing is written to `out`.
int ListSfxJson(const std::string& path, std::ostream& out, std::ostream& err);

// Checks every chunk and checksum as the stub does, that the end record is
// there, and that nothing but a signature follows it.
int TestSfx(const std::string& path, std::ostream& out, std::ostream& err);

// Writes the tree into `folder` after every check that can be made first (the
// file as TestSfx checks it, the names as they convert, the entries against
// each other and against what stands in the folder, the free space), so that
// only writing itself can fail once the first file is written. Never writes
// through a symbolic link in the folder; replaces existing files by renaming
// new ones over them. The helper entry is left out.
int ExtractSfx(const std::string& path, const std::string& folder, std::ostream& out, std::ostream& err);

namespace inspect {

// The walk's reader over a file on disk; it keeps its position.
class FileReader final : public stub::ByteReader {
public:
    explicit FileReader(platform::File& file) : file_(file) {}
    uint32_t Seek(int64_t position) override;
    uint32_t Read(void* data, uint32_t length) override;
    int64_t Position() const { return position_; }

private:
    platform::File& file_;
    int64_t position_ = 0;
};

// An SFX file opened for the walk.
struct SfxFile {
    std::string path;
    platform::File file;
    uint64_t size = 0;
    uint32_t start = 0;  // of the container
    uint8_t config[config::kSize] = {};
};

// Opens the file, finds the container and reads its ConfigBlock; false after
// reporting why not.
bool OpenSfx(const std::string& path, SfxFile& sfx, std::ostream& err);

// An entry the walk got through.
struct ListedEntry {
    std::string stored;  // the name as stored
    EntryHeader header;
    int64_t size = 0;       // the file size: Size, or an extended entry's Size64
    uint64_t packed = 0;    // bytes of its chunks in the file
    uint32_t checksum = 0;  // as stored, and found to match
    bool Utf8() const { return IsExtendedEntry(header); }  // else the name is in the code page
};

// What the walk over every entry found.
struct Check {
    stub::Failure failure;  // after success: where the end record ends
    std::string fault;      // why the walk was stopped, where the sink stopped it
    std::string lastName;   // the last entry the walk got through, as DisplayName shows it
    uint64_t files = 0, folders = 0, data = 0, packed = 0;
    uint64_t signature = 0;            // size of the signature behind the end record; 0 without one
    std::vector<ListedEntry> entries;  // in container order
};

// The checks of TestSfx over the opened file; false after reporting the fault.
// `alongside`, when given, sees every entry as well, once it passed the checks
// made as it is read, so that one walk can both check and extract.
bool CheckSfx(SfxFile& sfx, Check& check, std::ostream& err, stub::EntrySink* alongside = nullptr);

// The architecture of the stub image ("i686", "x86_64", or its machine number).
std::string StubArchitecture(SfxFile& sfx);

// The stub's walk over every entry, through `reader` (over sfx.file), into
// `sink`, with `base` in front of each name; names are checked in the code
// page of QUILLON_CODEPAGE.
stub::Failure WalkSfx(SfxFile& sfx, FileReader& reader, const std::string& base, stub::EntrySink& sink);

// Why the walk ended with `failure`, naming the entry; `lastName` is the
// shown name of the last entry the walk got through, named when the fault
// lies behind it.
std::string DescribeFailure(SfxFile& sfx, const stub::Failure& failure, const std::string& lastName);

// A stored name as UTF-8: itself when it is UTF-8 (`utf8`, an extended
// entry's), else converted from the code page; false when it does not convert.
bool NameText(const std::string& stored, bool utf8, std::string& text);

// A stored name for a terminal: as NameText gives it, or with the bytes that
// do not convert written as \xNN; control characters escaped.
std::string DisplayName(const std::string& stored, bool utf8 = false);

// The text in single quotes, as messages name files and entries.
std::string Quoted(const std::string& shown);

// A stored name in the form in which Windows compares names: as NameText
// gives it, upper-cased; as it stands where it does not convert.
std::string ComparableName(const std::string& stored, bool utf8 = false);

// The parts of a stored name between its backslashes: "a\\b" gives "a" and
// "b" (in the code page, a trail byte 0x5C of a double-byte character is no
// separator).
std::vector<std::string> StoredNameParts(const std::string& stored, bool utf8 = false);

// The folders a stored name lies in, outermost first: "a\b\c" gives "a" and "a\b".
std::vector<std::string> FolderPrefixes(const std::string& stored, bool utf8 = false);

}  // namespace inspect

}  // namespace ql
