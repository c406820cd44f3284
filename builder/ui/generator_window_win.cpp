// The command-line generator window: the line, and a copy to the clipboard.
#include "builder/ui/cmdline_generator.h"
#include "builder/ui/control_ids.h"
#include "builder/ui/secondary_windows_win.h"
#include "builder/ui/window_kit_win.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

class GeneratorWindow final : public ModalWindow {
public:
    GeneratorWindow(HWND owner, const ControlPanel& panel) : ModalWindow(kBClose, IDCANCEL) {
        if (!Create(kGeneratorWindow, kDialogStyle, owner,
                    platform::Utf8ToWide(kGeneratorWindow.caption.Utf8())))
            return;
        const std::string line = GenerateCommandLine(panel, platform::ModulePath(), platform::IsLeadByte);
        SetWindowTextW(Control(kMCmdLine), platform::AnsiToWide(line).c_str());
        FocusControl(kMCmdLine);
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND && LOWORD(wParam) == kBCopy) {
            // The whole text, selected so that the user sees what was copied;
            // the text box gets the focus back, as an edit control without
            // it hides its selection.
            SendMessageW(Control(kMCmdLine), EM_SETSEL, 0, -1);
            SendMessageW(Control(kMCmdLine), WM_COPY, 0, 0);
            FocusControl(kMCmdLine);
            return 0;
        }
        return ModalWindow::OnMessage(message, wParam, lParam);
    }
};

}  // namespace

void ShowCommandLineGenerator(HWND owner, const ControlPanel& panel) {
    GeneratorWindow window(owner, panel);
    window.ShowModal(owner);
}

}  // namespace ql::ui
