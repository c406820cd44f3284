// The about box's controls; the version, notice and link lines are filled in when it opens.
#include "builder/ui/control_ids.h"
#include "builder/ui/layout.h"

namespace ql::ui {

namespace {

using K = ControlKind;
using T = TextId;

// One row per control, as the window shows them.
// clang-format off

constexpr ControlSpec kControls[] = {
    {kAboutIcon, K::Icon, "", {16, 16, 32, 32}},
    {kAboutTitle, K::Label, "Quillon", {64, 16, 192, 24}},
    {kAboutVersion, K::Label, "", {64, 45, 192, 16}},
    {kAboutCredit, K::Label, T::AboutCredit, {64, 72, 192, 13}},
    {kAboutNotice, K::Label, "", {64, 96, 192, 13}},
    {kAboutWebLabel, K::Label, T::WebLabel, {64, 116, 40, 13}},
    {kAboutWebLink, K::Link, "", {104, 116, 152, 13}},
    {kAboutMailLabel, K::Label, T::MailLabel, {64, 136, 40, 13}},
    {kAboutMailLink, K::Link, "", {104, 136, 152, 13}},
    {kAboutOk, K::DefaultButton, T::Ok, {96, 168, 75, 25}, 0, true},
};

// clang-format on

}  // namespace

const WindowSpec kAboutWindow{"Tfabout", TextId::About, 264, 208, kControls};

}  // namespace ql::ui
