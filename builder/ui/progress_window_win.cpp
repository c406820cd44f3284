// The progress window and the thread its build runs on.
#include "builder/ui/progress_window_win.h"

#include <commctrl.h>

#include <exception>

#include "builder/engine/build_driver.h"
#include "builder/engine/build_errors.h"
#include "builder/engine/cancel.h"
#include "builder/resources/texts.h"
#include "builder/ui/control_ids.h"
#include "builder/ui/message_boxes_win.h"
#include "builder/ui/progress_figures.h"
#include "platform/text.h"
#include "platform/text_win.h"

namespace ql::ui {

namespace {

std::string DecimalSeparator() {
    wchar_t separator[8] = {};
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 5)) return ".";
    return platform::WideToUtf8(separator);
}

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, const std::wstring& caption, const BuildEnvironment& env,
                               const BuildOptions& options)
    : owner_(owner), env_(env), options_(options) {
    env_.progress = this;
    Create(kProgressWindow, WS_POPUP | WS_CAPTION, owner, caption);
}

int ProgressWindow::ShowModal() {
    if (!Handle()) return 2;
    PostMessageW(Handle(), WM_DELAYED_START, WM_DELAYED_START, WM_DELAYED_START);
    RunModal(*this, owner_, done_);
    return result_;
}

LRESULT ProgressWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DELAYED_START:
            if (wParam == WM_DELAYED_START && lParam == WM_DELAYED_START && !started_) {
                FocusControl(kBCancel);
                started_ = true;
                if (!thread_.Start([this] { RunBuild(); })) {
                    ShowApplicationErrorBox(platform::SystemMessage(static_cast<int>(GetLastError())));
                    done_ = true;
                }
            }
            return 0;
        case WM_BUILD_REPORT: Refresh(); return 0;
        case WM_BUILD_DONE: Finish(); return 0;
        case WM_COMMAND:
            // Only the button cancels (a click, or Space or Enter while it has
            // the focus); Esc (IDCANCEL) does nothing here.
            if (LOWORD(wParam) == kBCancel) CancelRequested = true;
            return 0;
        case WM_CLOSE: return 0;
    }
    return Window::OnMessage(message, wParam, lParam);
}

void ProgressWindow::RunBuild() {
    try {
        succeeded_ = BuildSfx(options_, env_);
    } catch (const std::exception& failure) {
        error_ = failure.what();
        errorPath_ = ErrorPath(failure);
    }
    PostMessageW(Handle(), WM_BUILD_DONE, 0, 0);
}

void ProgressWindow::Post() {
    if (posted_) return;
    posted_ = true;
    PostMessageW(Handle(), WM_BUILD_REPORT, 0, 0);
}

void ProgressWindow::ShowInitialising() {
    platform::LockGuard lock(lock_);
    report_.source = Tr(TextId::Initialising);
    Post();
}

void ProgressWindow::ShowSource(const std::string& nativePath) {
    platform::LockGuard lock(lock_);
    report_.source = platform::ToDisplay(nativePath);
    Post();
}

void ProgressWindow::ShowTarget(const std::string& nativePath) {
    platform::LockGuard lock(lock_);
    report_.target = platform::ToDisplay(nativePath);
    Post();
}

void ProgressWindow::ReportProgress(int64_t done, int64_t size, int64_t completed, int64_t total) {
    platform::LockGuard lock(lock_);
    report_.done = done;
    report_.size = size;
    report_.completed = completed;
    report_.total = total;
    report_.hasFigures = true;
    Post();
}

void ProgressWindow::Refresh() {
    Report report;
    {
        platform::LockGuard lock(lock_);
        report = report_;
        posted_ = false;
    }
    auto setText = [this](int id, const std::string& text) {
        if (ControlTextUtf8(Control(id)) != text) SetControlText(Control(id), text);
    };
    setText(kLProgressSource, report.source);
    setText(kLProgressTarget, report.target);
    if (!report.hasFigures) return;
    static const std::string separator = DecimalSeparator();
    const ProgressFigures figures =
        ComputeProgress(report.done, report.size, report.completed, report.total, separator.c_str());
    SendMessageW(Control(kPbFile), PBM_SETPOS, static_cast<WPARAM>(figures.fileBar), 0);
    SendMessageW(Control(kPbTotal), PBM_SETPOS, static_cast<WPARAM>(figures.totalBar), 0);
    if (figures.sizeLine) setText(kLSize, *figures.sizeLine);
}

void ProgressWindow::Finish() {
    thread_.Join();
    Refresh();
    if (error_) ShowApplicationErrorBox(*error_, errorPath_);
    result_ = succeeded_ ? 1 : 2;
    done_ = true;
}

}  // namespace ql::ui
