// The command-line help window.
#include "builder/resources/embedded_resources.h"
#include "builder/ui/control_ids.h"
#include "builder/ui/secondary_windows_win.h"
#include "builder/ui/window_kit_win.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

class HelpWindow final : public ModalWindow {
public:
    HelpWindow(HWND owner, std::string_view helpText) : ModalWindow(kBClose, IDCANCEL) {
        if (!Create(kHelpWindow, kDialogStyle, owner, platform::Utf8ToWide(kHelpWindow.caption.Utf8())))
            return;
        std::string text = platform::CodePageToUtf8(helpText, kHelpTextCodePage);
        // Every line ends with a line break; the last one would show an empty line.
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
        SetControlText(Control(kMCmdLine), text);
        FocusControl(kBClose);
    }
};

}  // namespace

void ShowCommandLineHelp(HWND owner, std::string_view helpText) {
    HelpWindow window(owner, helpText);
    window.ShowModal(owner);
}

}  // namespace ql::ui
