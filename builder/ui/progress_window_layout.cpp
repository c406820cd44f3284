// The progress window's controls. The path labels are right-aligned in a
// fixed width, so that the end of a long path, the file name, stays visible.
#include "builder/ui/control_ids.h"
#include "builder/ui/layout.h"

namespace ql::ui {

namespace {

using K = ControlKind;
using T = TextId;

// One row per control, as the window shows them.
// clang-format off

constexpr ControlSpec kControls[] = {
    {kLFile, K::Label, T::FileProgress, {16, 16, 86, 13}},
    {kLProgressSource, K::RightLabel, "", {104, 16, 513, 13}},
    {kPbFile, K::ProgressBar, "", {16, 32, 601, 17}},
    {kLTotal, K::Label, T::TotalProgress, {16, 64, 86, 13}},
    {kLProgressTarget, K::RightLabel, "", {104, 64, 513, 13}},
    {kPbTotal, K::ProgressBar, "", {16, 80, 601, 17}},
    {kLLSize, K::Label, T::BytesProcessed, {16, 120, 90, 13}},
    {kLSize, K::Label, "", {108, 120, 420, 13}},
    {kBCancel, K::Button, T::Cancel, {544, 112, 73, 25}, 0, true},
};

// clang-format on

}  // namespace

const WindowSpec kProgressWindow{"Tfprogress", "", 632, 152, kControls};

}  // namespace ql::ui
