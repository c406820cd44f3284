// POSIX text services: native text is UTF-8; stored names are converted to the
// selected Windows code page with iconv.
#include "platform/text.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <string>

#include "shared/error_codes.h"

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

// The Windows ANSI and OEM code pages that keep the bytes below 0x80 ASCII, as
// the name rule and the backslash separator need them to (EBCDIC would turn
// "../" into other bytes, and code page 864 moves '%').
bool IsAsciiCompatibleCodePage(int codePage) {
    static const int kCodePages[] = {437,  737,  775,  850,  852,  855,  857,  858,  860, 861,
                                     862,  863,  865,  866,  869,  874,  932,  936,  949, 950,
                                     1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    for (int known : kCodePages)
        if (known == codePage) return true;
    return false;
}

}  // namespace

bool SetAnsiCodePage(int codePage) {
    if (!IsAsciiCompatibleCodePage(codePage)) return false;
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

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) { return ToAnsi(utf8, ansi); }

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
            lead[b] =
                iconv(converter, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) && errno == EINVAL;
        }
        if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
        tableCodePage = g_codePage;
    }
    return lead[c];
}

std::string ToDisplay(const std::string& native) { return native; }

namespace {

// One UTF-8 character at `text[i]` (advancing `i`), or -1 for a byte that begins none.
long DecodeUtf8(std::string_view text, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return ++i, -1;
    long code = length == 1 ? c : c & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next >> 6) != 2) return ++i, -1;
        code = (code << 6) | (next & 0x3F);
    }
    i += length;
    return code;
}

void EncodeUtf8(unsigned long code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::string UpperCaseName(std::string_view utf8) {
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::string upper;
    for (size_t i = 0; i < utf8.size();) {
        const size_t at = i;
        const long code = DecodeUtf8(utf8, i);
        if (code < 0)
            upper += utf8[at];
        else if (code < 0x80 || !unicode)
            EncodeUtf8(code >= 'a' && code <= 'z' ? code - 32 : code, upper);
        else
            EncodeUtf8(static_cast<unsigned long>(towupper_l(static_cast<wint_t>(code), unicode)), upper);
    }
    return upper;
}

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
        case kErrorNotEnoughMemory:
            return "Not enough memory resources are available to process this command.";
        default: return "System error " + std::to_string(code) + ".";
    }
}

}  // namespace ql::platform
