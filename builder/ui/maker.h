// Where the builder's links lead. Placeholders of this project's own; the
// about box appends the page name to the web address.
#pragma once

namespace ql::ui {

inline constexpr char kWebAddress[] = "quillon.example";
inline constexpr char kPageName[] = "quillon";
inline constexpr char kDonationAddress[] = "https://quillon.example/donate";
inline constexpr char kMailAddress[] = "support@quillon.example";

}  // namespace ql::ui
