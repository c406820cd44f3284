// The command-line generator, help and environment variables windows.
#include "builder/ui/control_ids.h"
#include "builder/ui/layout.h"

namespace ql::ui {

namespace {

using K = ControlKind;
using T = TextId;

// One row per control, as the window shows them.
// clang-format off

constexpr ControlSpec kGeneratorControls[] = {
    {kMCmdLine, K::ReadOnlyText, "", {8, 8, 769, 81}, 0, true},
    {kBCopy, K::Button, T::CopyToClipboard, {8, 96, 121, 25}},
    {kBClose, K::DefaultButton, T::Close, {704, 96, 73, 25}},
};

constexpr ControlSpec kHelpControls[] = {
    {kMCmdLine, K::ReadOnlyText, "", {8, 8, 777, 505}, 0, true},
    {kBClose, K::DefaultButton, T::Close, {712, 520, 73, 25}},
};

constexpr ControlSpec kEnvironmentControls[] = {
    {kVleEnvVars, K::List, "", {8, 8, 777, 505}, 0, true},
    {kLTip, K::Tip, T::EnvironmentTip, {8, 524, 600, 13}, 0, true},
    {kBClose, K::DefaultButton, T::Close, {712, 520, 73, 25}},
};

// clang-format on

}  // namespace

const WindowSpec kGeneratorWindow{"Tfcmdlinegen", TextId::GeneratorCaption, 784, 128, kGeneratorControls};
const WindowSpec kHelpWindow{"Tfcmdline", TextId::CommandLineHelp, 792, 552, kHelpControls};
const WindowSpec kEnvironmentWindow{"Tfenvvars", TextId::EnvironmentCaption, 792, 552, kEnvironmentControls};

}  // namespace ql::ui
