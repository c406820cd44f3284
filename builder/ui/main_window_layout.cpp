// The main window's controls, box by box in tab order.
#include "builder/ui/control_ids.h"
#include "builder/ui/layout.h"
#include "builder/ui/maker.h"

namespace ql::ui {

namespace {

using K = ControlKind;

// One row per control, as the window shows them.
// clang-format off

constexpr ControlSpec kControls[] = {
    {kGbSourceTarget, K::GroupBox, " 源文件夹和目标文件", {8, 8, 481, 225}},
    {kLSource, K::Label, "源文件夹 (它可以包含其他的子文件夹):", {12, 20, 385, 13}, kGbSourceTarget},
    {kESource, K::Edit, "", {12, 36, 385, 21}, kGbSourceTarget},
    {kBSource, K::Button, "浏览", {403, 35, 66, 23}, kGbSourceTarget},
    {kLTarget, K::Label, "目标自解压文件（EXE 文件）:", {12, 66, 385, 13}, kGbSourceTarget},
    {kETarget, K::Edit, "", {12, 82, 385, 21}, kGbSourceTarget},
    {kBTarget, K::Button, "浏览", {403, 81, 66, 23}, kGbSourceTarget},
    {kLIcon, K::Label, "目标自解压文件图标:", {12, 112, 385, 13}, kGbSourceTarget},
    {kRbIconDefault, K::Radio, "默认图标（如果可能，从可执行文件复制图标）", {12, 130, 457, 17}, kGbSourceTarget, true},
    {kRbIconCustom, K::Radio, "自定义图标（从 ICO 或 EXE 文件复制图标）:", {12, 150, 457, 17}, kGbSourceTarget},
    {kEIcon, K::Edit, "", {28, 172, 369, 21}, kGbSourceTarget, true},
    {kBIcon, K::Button, "浏览", {403, 171, 66, 23}, kGbSourceTarget},

    {kGbExtractionMode, K::GroupBox, " 提取模式 ", {8, 240, 481, 337}},
    {kRbOpenFolder, K::Radio, "解压文件到指定的文件夹 - 不删除提取文件", {12, 20, 457, 17}, kGbExtractionMode, true},
    {kCbOpenFolder, K::CheckBox, "在资源管理器提取后打开解压的文件夹", {28, 40, 441, 17}, kGbExtractionMode},
    {kRbExecuteFile, K::Radio, "解压文件到指定的文件夹，启动可执行文件，当它已经完成执行删除提取的文件",
     {12, 62, 457, 30}, kGbExtractionMode},
    {kLExecutableFile, K::Label, "提取后运行的可执行文件（来自源文件夹或子文件夹）:", {28, 96, 369, 13},
     kGbExtractionMode, true},
    {kEExecutableFile, K::Edit, "", {28, 112, 369, 21}, kGbExtractionMode},
    {kBExecutableFile, K::Button, "浏览", {403, 111, 66, 23}, kGbExtractionMode},
    {kLCmdParameters, K::Label, "命令行参数:", {28, 140, 369, 13}, kGbExtractionMode},
    {kECmdParameters, K::Edit, "", {28, 156, 441, 21}, kGbExtractionMode, false, 2047},
    {kLWorkingDir, K::Label, "工作目录:", {28, 186, 441, 13}, kGbExtractionMode},
    {kRbWdExtraction, K::Radio, "其中的可执行文件位于提取文件夹", {40, 202, 429, 17}, kGbExtractionMode, true},
    {kRbWdSource, K::Radio, "其中自解压文件位于源文件夹", {40, 220, 429, 17}, kGbExtractionMode},
    {kRbWdCurrent, K::Radio, "当前工作目录（不要在运行时更改）", {40, 238, 429, 17}, kGbExtractionMode},
    {kLDeleteMode, K::Label, "如何删除提取文件:", {28, 262, 441, 13}, kGbExtractionMode, true},
    {kRbDmImmediately, K::Radio, "当自解压已经执行完毕立即删除解压缩文件", {40, 278, 429, 17}, kGbExtractionMode, true},
    {kRbDmOnReboot, K::Radio, "电脑重新启动后删除解压文件（需要管理员权限）", {40, 296, 429, 17}, kGbExtractionMode},
    {kRbDmDoNotDelete, K::Radio, "不删除自解压文件", {40, 314, 429, 17}, kGbExtractionMode},

    {kGbExtractionFolder, K::GroupBox, " 提取文件夹 ", {496, 8, 289, 225}},
    {kRbTemp, K::Radio, "临时文件夹 (TEMP)", {12, 20, 265, 17}, kGbExtractionFolder, true},
    {kRbDesktop, K::Radio, "桌面文件夹 (用户的工作桌面)", {12, 40, 265, 17}, kGbExtractionFolder},
    {kRbDocuments, K::Radio, "文档文件夹 (用户的个人文件夹)", {12, 60, 265, 17}, kGbExtractionFolder},
    {kRbCurrent, K::Radio, "当前文件夹 (和原始文件相同)", {12, 80, 265, 17}, kGbExtractionFolder},
    {kRbSelect, K::Radio, "提取之前显示浏览文件夹对话框", {12, 100, 265, 17}, kGbExtractionFolder},
    {kRbCustom, K::Radio, "自定义文件夹 (您可以使用环境变量)", {12, 120, 265, 17}, kGbExtractionFolder},
    {kECustomDir, K::Edit, "", {28, 142, 249, 21}, kGbExtractionFolder, true, 259},
    {kLCustom, K::Label, "(例如. %USERPROFILE%\\MyApplication\\)", {28, 168, 249, 13}, kGbExtractionFolder},
    {kBEnvVars, K::Button, "显示这台计算机上的环境变量", {28, 188, 249, 25}, kGbExtractionFolder},

    {kGbAdvanced, K::GroupBox, " 高级选项 ", {496, 240, 289, 337}},
    {kCbOneInstance, K::CheckBox, "实例检查（自解压程序防止在同一时间运行）", {12, 20, 265, 30}, kGbAdvanced, true},
    {kCbSilent, K::CheckBox, "静默提取模式 (解压时不显示进度条和错误信息)", {12, 54, 265, 30}, kGbAdvanced},
    {kCbSelfDelete, K::CheckBox, "自我删除模式 (自解压解压后删除自解压文件)", {12, 88, 265, 30}, kGbAdvanced},
    {kLUacAutoElevation, K::Label, "UAC 特权提升:", {12, 126, 265, 13}, kGbAdvanced},
    {kRbUacNone, K::Radio, "无", {24, 144, 253, 17}, kGbAdvanced, true},
    {kRbUacHighest, K::Radio, "运行自解压文件具有最高可用权限", {24, 162, 253, 17}, kGbAdvanced},
    {kRbUacAdministrator, K::Radio, "以管理员身份运行自解压文件", {24, 180, 253, 17}, kGbAdvanced},
    {kLOverwriteMode, K::Label, "在提取过程中覆盖模式:", {12, 210, 265, 13}, kGbAdvanced, true},
    {kRbOmPrompt, K::Radio, "提示用户是否覆盖现有文件", {24, 228, 253, 17}, kGbAdvanced, true},
    {kRbOmOverwrite, K::Radio, "自动覆盖所有现有文件", {24, 246, 253, 17}, kGbAdvanced},
    {kRbOmSkip, K::Radio, "所有现有文件自动跳过提取", {24, 264, 253, 17}, kGbAdvanced},

    {kLAbout, K::Link, "关于...", {8, 600, 80, 13}, 0, true},
    {kLWeb, K::Link, ShownAddress(kWebAddress), {96, 600, 100, 13}},
    {kLDonate, K::Link, "捐赠", {201, 600, 72, 13}},
    {kLCmdLine, K::Link, "命令行支持", {280, 600, 144, 13}},
    {kLCmdLineGen, K::Link, "生成命令行参数", {432, 600, 200, 13}},
    {kBMake, K::DefaultButton, "制作自解压文件", {640, 584, 145, 33}},
};

// clang-format on

}  // namespace

const WindowSpec kMainWindow{"Tfquillon", "Quillon", 792, 624, kControls};

}  // namespace ql::ui
