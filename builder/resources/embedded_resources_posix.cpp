// Embedded resources of the Linux builder, linked in from embedded.S.
#include "builder/resources/embedded_resources.h"

#include <cstring>
#include <iterator>

#define QL_BLOB(name) extern "C" const char ql_blob_##name[], ql_blob_##name##_end[];
QL_BLOB(sfxhead_i686)
QL_BLOB(selfdelete_i686)
QL_BLOB(sfxhead_x86_64)
QL_BLOB(selfdelete_x86_64)
QL_BLOB(uac)
QL_BLOB(cmdline)
QL_BLOB(cmdline_en)
#undef QL_BLOB

namespace ql {

namespace {

bool g_x86_64 = false;

std::string_view Blob(const char* begin, const char* end) {
    return std::string_view(begin, static_cast<size_t>(end - begin));
}

const StubImages kStubImages[] = {
    {"i686", Blob(ql_blob_sfxhead_i686, ql_blob_sfxhead_i686_end),
     Blob(ql_blob_selfdelete_i686, ql_blob_selfdelete_i686_end)},
    {"x86_64", Blob(ql_blob_sfxhead_x86_64, ql_blob_sfxhead_x86_64_end),
     Blob(ql_blob_selfdelete_x86_64, ql_blob_selfdelete_x86_64_end)},
};

std::string_view Find(const std::string& type, const std::string& name) {
    const StubImages& images = kStubImages[g_x86_64 ? 1 : 0];
    if (type == "EXE" && name == "SFXHEAD") return images.stub;
    if (type == "EXE" && name == "SELFDELETE") return images.helper;
    if (type == "XML" && name == "UAC") return Blob(ql_blob_uac, ql_blob_uac_end);
    if (type == "TXT" && name == "CMDLINE") return Blob(ql_blob_cmdline, ql_blob_cmdline_end);
    if (type == "TXT" && name == "CMDLINE_EN") return Blob(ql_blob_cmdline_en, ql_blob_cmdline_en_end);
    return {};
}

}  // namespace

bool LoadResourceData(const char* type, const char* name, std::string_view& data) {
    data = Find(type, name);
    return !data.empty();
}

std::vector<StubImages> EmbeddedStubImages() { return {std::begin(kStubImages), std::end(kStubImages)}; }

bool SelectStubArchitecture(const std::string& architecture) {
    if (architecture != "i686" && architecture != "x86_64") return false;
    g_x86_64 = architecture == "x86_64";
    return true;
}

}  // namespace ql
