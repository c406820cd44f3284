// The command-line generator, help and environment variables windows.
#include "builder/ui/control_ids.h"
#include "builder/ui/layout.h"

namespace ql::ui {

namespace {

using K = ControlKind;

// One row per control, as the window shows them.
// clang-format off

constexpr ControlSpec kGeneratorControls[] = {
    {kMCmdLine, K::ReadOnlyText, "", {8, 8, 769, 81}, 0, true},
    {kBCopy, K::Button, "复制到剪贴板", {8, 96, 121, 25}},
    {kBClose, K::DefaultButton, "关闭", {704, 96, 73, 25}},
};

constexpr ControlSpec kHelpControls[] = {
    {kMCmdLine, K::ReadOnlyText, "", {8, 8, 777, 505}, 0, true},
    {kBClose, K::DefaultButton, "关闭", {712, 520, 73, 25}},
};

constexpr ControlSpec kEnvironmentControls[] = {
    {kVleEnvVars, K::List, "", {8, 8, 777, 505}, 0, true},
    {kLTip, K::Tip, "提示：使用双击或按 Enter 键变量名复制到自定义文件夹编辑行", {8, 524, 600, 13}, 0, true},
    {kBClose, K::DefaultButton, "关闭", {712, 520, 73, 25}},
};

// clang-format on

}  // namespace

const WindowSpec kGeneratorWindow{"Tfcmdlinegen", "从当前界面选项生成命令行参数", 784, 128,
                                  kGeneratorControls};
const WindowSpec kHelpWindow{"Tfcmdline", "命令行支持", 792, 552, kHelpControls};
const WindowSpec kEnvironmentWindow{"Tfenvvars", "这台计算机上的环境变量", 792, 552, kEnvironmentControls};

}  // namespace ql::ui
