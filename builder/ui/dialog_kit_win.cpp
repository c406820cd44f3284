// About box, file version, shell open and folder chooser.
#include "builder/ui/dialog_kit_win.h"

// The shell headers build on windows.h.
#include <objbase.h>
#include <shlobj.h>

#include "builder/resources/texts.h"
#include "builder/ui/control_ids.h"
#include "builder/ui/dialog_kit.h"
#include "builder/ui/maker.h"
#include "builder/ui/window_kit_win.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

// The calendar year of the file's last change, in local time; this year
// when that cannot be read.
int YearOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME time;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &time))
        return time.wYear;
    GetLocalTime(&time);
    return time.wYear;
}

// The builder's own page on the maker's site.
std::string WebPage() { return std::string(kWebAddress) + "/" + kPageName; }

// Enter and Esc both close it with the result OK.
class AboutBox final : public ModalWindow {
public:
    explicit AboutBox(HWND owner) : ModalWindow(kAboutOk, IDOK) {
        Create(kAboutWindow, kDialogStyle, owner, platform::Utf8ToWide(kAboutWindow.caption.Utf8()));
        const std::wstring exe = OwnExecutablePath();
        const std::string version = FileVersionText(exe);
        SendMessageW(Control(kAboutIcon), STM_SETICON,
                     reinterpret_cast<WPARAM>(LoadIconW(GetModuleHandleW(nullptr), L"MAINICON")), 0);
        SendMessageW(Control(kAboutTitle), WM_SETFONT,
                     reinterpret_cast<WPARAM>(UiFont(FontStyle::AboutTitle)), 0);
        SendMessageW(Control(kAboutVersion), WM_SETFONT,
                     reinterpret_cast<WPARAM>(UiFont(FontStyle::AboutVersion)), 0);
        if (!version.empty())
            SetControlText(Control(kAboutVersion), std::string(Tr(TextId::VersionLabel)) + " " + version);
        SetControlText(Control(kAboutNotice),
                       std::string(Tr(TextId::AboutNotice)) + " " + std::to_string(YearOf(exe)));
        SetControlText(Control(kAboutWebLink), ShownAddress(WebPage().c_str()));
        SetControlText(Control(kAboutMailLink), kMailAddress);
        FocusControl(kAboutOk);
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND) {
            switch (LOWORD(wParam)) {
                case IDOK: Close(IDOK); return 0;
                case kAboutWebLink: ShellOpen(WebPage()); return 0;
                case kAboutMailLink:
                    ShellOpen("mailto:" + ControlTextUtf8(Control(kAboutMailLink)));
                    return 0;
            }
        }
        return ModalWindow::OnMessage(message, wParam, lParam);
    }
};

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

}  // namespace

std::wstring OwnExecutablePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::string FileVersionText(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return {};
    std::string block(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
        return {};
    return FormatFileVersion(info->dwFileVersionMS, info->dwFileVersionLS);
}

bool ShellOpen(const std::string& utf8) {
    if (platform::TrimText(utf8).empty()) return false;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", platform::Utf8ToWide(utf8).c_str(), L"", L"", SW_SHOWNORMAL));
    return result > 32;
}

bool ChooseFolder(HWND owner, const std::wstring& caption, const std::wstring& root, std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) folder.clear();
    PIDLIST_ABSOLUTE rootItem = nullptr;
    if (!root.empty()) SHParseDisplayName(root.c_str(), nullptr, &rootItem, 0, nullptr);

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.pidlRoot = rootItem;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = caption.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    if (!folder.empty()) {
        browse.lpfn = BrowseCallback;
        browse.lParam = reinterpret_cast<LPARAM>(folder.c_str());
    }
    // No "insert a disk" boxes from empty drives while the user browses.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    SetErrorMode(errorMode);
    if (rootItem) CoTaskMemFree(rootItem);
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    const bool found = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (found) folder = path;
    return found;
}

void ShowAbout(HWND owner) {
    AboutBox box(owner);
    box.ShowModal(owner);
}

}  // namespace ql::ui
