// The main window on Win32: its controls through ControlPanel, its commands.
#include "builder/ui/main_window_win.h"

#include "builder/engine/options_check.h"
#include "builder/resources/texts.h"
#include "builder/ui/dialog_kit.h"
#include "builder/ui/dialog_kit_win.h"
#include "builder/ui/maker.h"
#include "builder/ui/progress_window_win.h"
#include "builder/ui/secondary_windows_win.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

std::wstring WindowCaption() {
    return platform::Utf8ToWide(std::string(kMainWindow.caption.Utf8()) + " " +
                                ShortVersionText(FileVersionText(OwnExecutablePath())));
}

}  // namespace

MainWindow::MainWindow(BuildEnvironment& env, const BuildOptions& commandLine, Registry& registry,
                       std::string_view helpText)
    : env_(env),
      commandLine_(commandLine),
      helpText_(helpText),
      targetDialog_(FileDialog::Kind::Save, Tr(TextId::TargetFilter)),
      executableDialog_(FileDialog::Kind::Open, Tr(TextId::ExecutableFilter)),
      iconDialog_(FileDialog::Kind::Open, Tr(TextId::IconFilter)) {
    if (!Create(kMainWindow, kStyle, nullptr, WindowCaption())) return;
    SendMessageW(Control(kBMake), WM_SETFONT, reinterpret_cast<WPARAM>(UiFont(FontStyle::Bold)), FALSE);
    ShowInitialState(*this);
    if (env.parametersComplete) {
        ShowOptions(*this, commandLine);
    } else {
        Settings settings;
        settings.Load(registry);
        ShowSettings(*this, settings);
    }
}

int MainWindow::Run() {
    if (!Handle()) return 1;
    RunShowRules(*this);
    ShowWindow(Handle(), SW_SHOW);
    FocusControl(kBMake);
    PostMessageW(Handle(), WM_DELAYED_START, WM_DELAYED_START, WM_DELAYED_START);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchToWindow(*this, message);
    return 0;
}

bool MainWindow::PreviewKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_F1) return false;
    ShowAbout(Handle());
    return true;
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case DM_GETDEFID: return MAKELRESULT(kBMake, DC_HASDEFID);
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_DELAYED_START:
            if (wParam == WM_DELAYED_START && lParam == WM_DELAYED_START && env_.parametersComplete) Make();
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return Window::OnMessage(message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;  // also STN_CLICKED of the links, which is 0 too
    switch (id) {
        case kBSource: BrowseSource(); return;
        case kBTarget: BrowseTarget(); return;
        case kBIcon: BrowseFile(iconDialog_, kEIcon); return;
        case kBExecutableFile: BrowseFile(executableDialog_, kEExecutableFile); return;
        case kLAbout: ShowAbout(Handle()); return;
        case kLWeb: ShellOpen(kWebAddress); return;
        case kLDonate: ShellOpen(kDonationAddress); return;
        case kLCmdLine: ShowCommandLineHelp(Handle(), helpText_); return;
        case kLCmdLineGen: ShowCommandLineGenerator(Handle(), *this); return;
        case kBEnvVars: InsertEnvironmentVariable(); return;
        case kBMake: Make(); return;
        default: OnControlClicked(*this, id);
    }
}

void MainWindow::BrowseSource() {
    std::wstring folder = ControlText(Control(kESource));
    if (ChooseFolder(Handle(), L"", L"", folder)) SetWindowTextW(Control(kESource), folder.c_str());
}

void MainWindow::BrowseTarget() {
    std::wstring text = ControlText(Control(kETarget));
    if (targetDialog_.ChooseTarget(Handle(), text)) SetWindowTextW(Control(kETarget), text.c_str());
}

void MainWindow::BrowseFile(FileDialog& dialog, int edit) {
    std::wstring text = ControlText(Control(edit));
    if (dialog.ChooseFile(Handle(), text)) SetWindowTextW(Control(edit), text.c_str());
}

// The accepted variable replaces the custom folder's selection, or goes in
// at the caret; the focus goes to the field whatever the choice.
void MainWindow::InsertEnvironmentVariable() {
    if (const std::optional<std::wstring> key = ChooseEnvironmentVariable(Handle(), ControlText(Handle())))
        SendMessageW(Control(kECustomDir), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(key->c_str()));
    FocusControl(kECustomDir);
}

bool MainWindow::TextsFitCodePage() {
    for (const OptionRow& row : kOptions) {
        if (!row.text) continue;
        std::string ansi;
        const std::wstring text = ControlText(Control(row.control));
        if (platform::WideToAnsi(text, ansi)) continue;
        env_.dialogs.ShowError(
            platform::FillPattern(Tr(TextId::TextOutsideSystemCodePage), {platform::WideToUtf8(text)}));
        FocusControl(row.control);
        return false;
    }
    return true;
}

void MainWindow::Make() {
    if (!TextsFitCodePage()) return;
    BuildOptions options = ReadOptions(*this);
    TakeCommandLineOnly(commandLine_, options);
    if (!ValidateOptions(options, env_)) return;
    ProgressWindow progress(Handle(), ControlText(Handle()), env_, options);
    // A written SFX file ends the builder; after a cancel or a failure the
    // window stays with all its values.
    if (progress.ShowModal() == 1) PostQuitMessage(0);
}

bool MainWindow::IsChecked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetChecked(int id, bool checked) {
    SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MainWindow::IsEnabled(int id) const { return IsWindowEnabled(Control(id)); }

void MainWindow::SetEnabled(int id, bool enabled) { EnableWindow(Control(id), enabled); }

std::string MainWindow::Text(int id) const {
    std::string ansi;
    platform::WideToAnsi(ControlText(Control(id)), ansi);
    return ansi;
}

void MainWindow::SetText(int id, const std::string& text) {
    SetWindowTextW(Control(id), platform::AnsiToWide(text).c_str());
}

void MainWindow::Focus(int id) {
    if (IsWindowVisible(Handle())) FocusControl(id);
}

}  // namespace ql::ui
