// The environment variables window: the process's variables, one to pick.
#include <windows.h>
// The list view builds on windows.h.
#include <commctrl.h>

#include <vector>

#include "builder/resources/texts.h"
#include "builder/ui/control_ids.h"
#include "builder/ui/environment_rows.h"
#include "builder/ui/secondary_windows_win.h"
#include "builder/ui/window_kit_win.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

constexpr int kVariableWidth = 200;

// The environment block through the wide API, so that values in any script
// read right: the ANSI block would have lost what the code page lacks.
std::vector<std::string> EnvironmentEntries() {
    std::vector<std::string> entries;
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return entries;
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
        entries.push_back(platform::WideToUtf8(entry));
    FreeEnvironmentStringsW(block);
    return entries;
}

class EnvironmentWindow final : public ModalWindow {
public:
    EnvironmentWindow(HWND owner, const std::wstring& mainCaption) : ModalWindow(kBClose, IDCANCEL) {
        const std::wstring caption =
            mainCaption + L" - " + platform::Utf8ToWide(kEnvironmentWindow.caption.Utf8());
        if (!Create(kEnvironmentWindow, kDialogStyle, owner, caption)) return;
        list_ = Control(kVleEnvVars);
        SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        AddColumn(0, Tr(TextId::VariableColumn), kVariableWidth);
        AddColumn(1, Tr(TextId::ValueColumn), 0);  // sized by FitValueColumn
        int row = 0;
        for (const EnvironmentRow& entry : EnvironmentRows(EnvironmentEntries())) {
            std::wstring key = platform::Utf8ToWide(entry.key), value = platform::Utf8ToWide(entry.value);
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = row++;
            item.pszText = key.data();
            const int index =
                static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            item.iItem = index;
            item.iSubItem = 1;
            item.pszText = value.data();
            SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&item));
        }
        FitValueColumn();
        LVITEMW first = {};
        first.stateMask = first.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
        FocusControl(kVleEnvVars);
    }

    // The key of the current row.
    std::wstring CurrentKey() const {
        const auto row =
            static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (row < 0) return {};
        wchar_t text[1024] = {};
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = 1024;
        SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return text;
    }

    // Enter on the list accepts the variable instead of pressing the default button.
    bool PreviewKey(const MSG& message) override {
        if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && GetFocus() == list_) {
            Close(IDOK);
            return true;
        }
        return ModalWindow::PreviewKey(message);
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        // A double-click accepts only over a variable's row, not over the
        // title row or the empty space below the rows.
        if (message == WM_NOTIFY) {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.hwndFrom == list_ && header.code == NM_DBLCLK &&
                reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem >= 0) {
                Close(IDOK);
                return 0;
            }
        }
        return ModalWindow::OnMessage(message, wParam, lParam);
    }

private:
    void AddColumn(int index, const char* title, int width) {
        std::wstring text = platform::Utf8ToWide(title);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text.data();
        column.cx = width;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    }

    // The value column takes what the name column leaves of the list's
    // client width, once the rows are in and so the vertical scroll bar is
    // there when they need it: the columns never need a horizontal one.
    void FitValueColumn() {
        RECT client = {};
        GetClientRect(list_, &client);
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, 1,
                     MAKELPARAM(client.right - client.left - kVariableWidth, 0));
    }

    HWND list_ = nullptr;
};

}  // namespace

std::optional<std::wstring> ChooseEnvironmentVariable(HWND owner, const std::wstring& mainCaption) {
    EnvironmentWindow window(owner, mainCaption);
    if (window.ShowModal(owner) != IDOK) return std::nullopt;
    return window.CurrentKey();
}

}  // namespace ql::ui
