// POSIX text services: native text is UTF-8; stored names are converted to the
// selected Windows code page with iconv.
#include "platform/text.h"

#include <cerrno>
#include <iconv.h>
#include <string>

#include "platform/posix_setup.h"

namespace ql::platform {

namespace {
int g_codePage = 1252;

iconv_t OpenConverter(int codePage, bool fromUtf8 = true) {
    std::string name = "CP" + std::to_string(codePage);
    return fromUtf8 ? iconv_open(name.c_str(), "UTF-8") : iconv_open("UTF-8", name.c_str());
}

// Converts all of `input` with a fresh converter; false when the converter
// cannot be had or a character has no counterpart. A character that some
// converters count as irreversibly converted (a result above 0) fails too:
// it could not come back as it was.
bool Convert(iconv_t converter, std::string_view input, std::string& output) {
    output.clear();
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string source(input), result(input.size() * 4 + 8, '\0');
    char* in = source.data();
    char* out = result.data();
    size_t inLeft = source.size(), outLeft = result.size();
    const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    output.assign(result.data(), result.size() - outLeft);
    return converted == 0 && inLeft == 0;
}
}  // namespace

bool SetAnsiCodePage(int codePage) {
    iconv_t converter = OpenConverter(codePage);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(converter);
    g_codePage = codePage;
    return true;
}

int AnsiCodePage() { return g_codePage; }

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// UTF-8 continuation bytes never look like a quote, a backslash or a blank,
// so the tokenizer needs no lead-byte rule here.
bool IsLeadByte(unsigned char) { return false; }

bool ToAnsi(const std::string& native, std::string& ansi) {
    return Convert(OpenConverter(g_codePage), native, ansi);
}

bool FromAnsi(const std::string& ansi, std::string& native) {
    return Convert(OpenConverter(g_codePage, false), ansi, native);
}

// A byte that the code page cannot convert alone, because its character goes
// on in the next byte, is a lead byte. Worked out once per code page.
bool IsAnsiLeadByte(unsigned char c) {
    static int tableCodePage = 0;
    static bool lead[256];
    if (tableCodePage != g_codePage) {
        iconv_t converter = OpenConverter(g_codePage, false);
        for (int b = 0; b < 256; ++b) {
            lead[b] = false;
            if (b < 0x80 || converter == reinterpret_cast<iconv_t>(-1)) continue;
            char byte = static_cast<char>(b), out[8];
            char* in = &byte;
            char* to = out;
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
            lead[b] = iconv(converter, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) && errno == EINVAL;
        }
        if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
        tableCodePage = g_codePage;
    }
    return lead[c];
}

std::string ToDisplay(const std::string& native) { return native; }

std::string CodePageToUtf8(std::string_view text, int codePage) {
    std::string utf8;
    Convert(OpenConverter(codePage, false), text, utf8);
    return utf8;
}

}  // namespace ql::platform

namespace ql::platform {

// The Windows wording of the few codes the builder raises itself, so that both
// builders report them alike.
std::string SystemMessage(int code) {
    switch (code) {
    case 8: return "Not enough memory resources are available to process this command.";
    default: return "System error " + std::to_string(code) + ".";
    }
}

}  // namespace ql::platform
