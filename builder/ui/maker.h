// Where the builder's links lead. Placeholders of this project's own.
#pragma once

namespace ql::ui {

// The addresses the links open: whole addresses with their scheme, as the
// shell opens nothing from a bare domain.
inline constexpr char kWebAddress[] = "https://quillon.example";
inline constexpr char kPageName[] = "quillon";  // the about box's link: kWebAddress + "/" + kPageName
inline constexpr char kDonationAddress[] = "https://quillon.example/donate";
inline constexpr char kMailAddress[] = "support@quillon.example";

// What a link shows of its address: the address without its scheme
// ("quillon.example"); the whole address would not fit where the links stand.
constexpr const char* ShownAddress(const char* address) {
    for (const char* p = address; *p; ++p)
        if (p[0] == ':' && p[1] == '/' && p[2] == '/') return p + 3;
    return address;
}

}  // namespace ql::ui
