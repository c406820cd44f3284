// Open and save dialogs through the wide API.
#include "builder/ui/file_dialogs_win.h"

#include <commdlg.h>

#include <algorithm>

#include "builder/ui/file_dialog_rules.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

size_t NameStart(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

// "description\0pattern\0...\0\0", as the dialogs take their filters.
std::wstring DialogFilter(const char* filter) {
    std::wstring result;
    for (const FilterPair& pair : SplitFilter(filter)) {
        result += platform::Utf8ToWide(pair.description) + L'\0';
        result += platform::Utf8ToWide(pair.pattern) + L'\0';
    }
    return result + L'\0';
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

FileDialog::FileDialog(Kind kind, const char* filter) : kind_(kind), filter_(filter) {}

bool FileDialog::Show(HWND owner, const std::wstring& fileName, std::wstring& chosen) {
    const std::wstring filter = DialogFilter(filter_);
    std::wstring buffer(32768, L'\0');
    fileName.copy(buffer.data(), std::min(fileName.size(), buffer.size() - 1));
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(filterIndex_);
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrInitialDir = folder_.empty() ? nullptr : folder_.c_str();
    dialog.lpstrDefExt = L"exe";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    const bool accepted = kind_ == Kind::Save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!accepted) return false;
    filterIndex_ = static_cast<int>(dialog.nFilterIndex);
    chosen = buffer.c_str();
    folder_ = chosen.substr(0, NameStart(chosen));
    return true;
}

bool FileDialog::ChooseTarget(HWND owner, std::wstring& text) {
    const size_t name = NameStart(text);
    folder_ = text.substr(0, name);
    std::wstring chosen;
    if (!Show(owner, text.substr(name), chosen)) return false;
    text = chosen;
    return true;
}

bool FileDialog::ChooseFile(HWND owner, std::wstring& text) {
    const std::string trimmed = platform::TrimText(platform::WideToUtf8(text));
    const std::wstring path = platform::Utf8ToWide(trimmed);
    const size_t name = NameStart(path);
    if (name > 0 && IsFolder(path.substr(0, name))) folder_ = path.substr(0, name);
    filterIndex_ = FilterIndexFor(filter_, trimmed, filterIndex_);
    std::wstring chosen;
    if (!Show(owner, path.substr(name), chosen)) return false;
    text = platform::Utf8ToWide(
        WithFilterExtension(filter_, filterIndex_, platform::TrimText(platform::WideToUtf8(chosen))));
    return true;
}

}  // namespace ql::ui
