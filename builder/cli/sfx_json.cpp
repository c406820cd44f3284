// --list --json: the configuration and the entries of an SFX file as one JSON
// document that scripts can rely on; its fields are described in the README.
#include <cstdio>
#include <ostream>
#include <sstream>

#include "builder/cli/sfx_inspect.h"
#include "platform/text.h"

namespace ql {

namespace {

// A JSON string: UTF-8 as it stands, quotes, backslashes and control
// characters escaped. Stored text that does not convert from the code page is
// given with each byte it cannot convert as U+FFFD.
std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string StoredText(const std::string& stored, bool utf8 = false) {
    std::string native;
    if (inspect::NameText(stored, utf8, native)) return native;
    std::string shown;
    for (unsigned char c : stored) shown += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\xEF\xBF\xBD";
    return shown;
}

std::string Field(const uint8_t* field, size_t size) {
    size_t length = 0;
    while (length < size && field[length] != 0) ++length;
    return JsonString(StoredText(std::string(reinterpret_cast<const char*>(field), length)));
}

std::string Choice(uint8_t value, std::initializer_list<const char*> names) {
    return value < names.size() ? JsonString(names.begin()[value]) : std::to_string(value);
}

const char* Bool(uint8_t value) { return value ? "true" : "false"; }

// The stored MS-DOS date and time as it stands, without a zone: the builder's
// local time, or UTC for a reproducible build; the file does not say which.
std::string Time(uint32_t t) {
    if (t == 0) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "\"%04u-%02u-%02uT%02u:%02u:%02u\"", 1980 + (t >> 25), (t >> 21) & 15,
                  (t >> 16) & 31, (t >> 11) & 31, (t >> 5) & 63, (t & 31) * 2);
    return text;
}

void WriteConfiguration(inspect::SfxFile& sfx, std::ostream& out) {
    const uint8_t* c = sfx.config;
    out << "  \"configuration\": {\n"
        << "    \"mode\": " << Choice(c[config::kExtractionMode], {"extract", "run"}) << ",\n"
        << "    \"extraction_folder\": "
        << Choice(c[config::kExtractionFolder],
                  {"temporary", "desktop", "documents", "current", "ask", "custom"})
        << ",\n"
        << "    \"custom_folder\": " << Field(c + config::kCustomFolder, config::kCustomFolderSize) << ",\n"
        << "    \"parameters\": " << Field(c + config::kCmdParameters, config::kCmdParametersSize) << ",\n"
        << "    \"instance_id\": " << Field(c + config::kInstanceId, config::kInstanceIdSize) << ",\n"
        << "    \"open_folder\": " << Bool(c[config::kOpenFolder]) << ",\n"
        << "    \"one_instance\": " << Bool(c[config::kOneInstance]) << ",\n"
        << "    \"silent\": " << Bool(c[config::kSilentMode]) << ",\n"
        << "    \"self_delete\": " << Bool(c[config::kSelfDeleteMode]) << ",\n"
        << "    \"delete_files\": " << Choice(c[config::kDeleteMode], {"after_run", "at_restart", "never"})
        << ",\n"
        << "    \"working_folder\": "
        << Choice(c[config::kWorkingDirectory], {"extraction_folder", "sfx_folder", "current"}) << ",\n"
        << "    \"existing_files\": " << Choice(c[config::kOverwriteMode], {"ask", "overwrite", "keep"})
        << ",\n"
        << "    \"compression\": " << Bool(c[config::kCompression]) << "\n"
        << "  },\n";
}

void WriteEntry(const inspect::ListedEntry& e, std::ostream& out) {
    const EntryHeader& h = e.header;
    out << "    {\"name\": " << JsonString(StoredText(e.stored, e.Utf8()))
        << ", \"kind\": " << JsonString(IsFolderEntry(h) ? "folder" : "file") << ", \"size\": " << e.size
        << ", \"packed_size\": " << e.packed << ", \"time\": " << Time(h.FileTime)
        << ", \"attributes\": " << h.Attributes << ", \"checksum\": " << e.checksum
        << ", \"program\": " << Bool(EntryKind(h) == kEntryProgram)
        << ", \"helper\": " << Bool(EntryKind(h) == kEntryHelper) << "}";
}

}  // namespace

int ListSfxJson(const std::string& path, std::ostream& out, std::ostream& err) {
    inspect::SfxFile sfx;
    inspect::Check check;
    if (!inspect::OpenSfx(path, sfx, err) || !inspect::CheckSfx(sfx, check, err)) return 1;
    std::ostringstream json;
    json << "{\n"
         << "  \"file\": " << JsonString(platform::ToDisplay(path)) << ",\n"
         << "  \"stub\": {\"architecture\": " << JsonString(inspect::StubArchitecture(sfx))
         << ", \"size\": " << sfx.start << "},\n";
    WriteConfiguration(sfx, json);
    json << "  \"entries\": [\n";
    for (size_t i = 0; i < check.entries.size(); ++i) {
        WriteEntry(check.entries[i], json);
        json << (i + 1 < check.entries.size() ? ",\n" : "\n");
    }
    json << "  ],\n"
         << "  \"files\": " << check.files << ",\n"
         << "  \"folders\": " << check.folders << ",\n"
         << "  \"data_size\": " << check.data << ",\n"
         << "  \"packed_size\": " << check.packed << ",\n"
         << "  \"signature_size\": " << check.signature << "\n"
         << "}\n";
    out << json.str();
    return 0;
}

}  // namespace ql
