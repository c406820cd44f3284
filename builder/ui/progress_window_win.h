// The progress window: runs one build and shows how far it has got.
//
// The build runs on a thread of its own while this window stays on the
// user-interface thread, so the window repaints and the cancel button reacts
// at once even while a large chunk is packed or a large tree is scanned. The
// cancel button only sets the cancel flag; the build honours it at its next
// chunk or file, deletes the target and says so, as it would on one thread.
// The build's reports reach the window as posted messages, and its message
// boxes are shown on this thread by the dialog host.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "builder/engine/build_environment.h"
#include "builder/engine/build_options.h"
#include "builder/ui/window_kit_win.h"
#include "platform/threads.h"

namespace ql::ui {

class ProgressWindow final : public Window, private ProgressSink {
public:
    ProgressWindow(HWND owner, const std::wstring& caption, const BuildEnvironment& env,
                   const BuildOptions& options);

    // Shows the window modally and runs the build: 1 when the SFX file was
    // written, 2 when the build was cancelled or failed.
    int ShowModal();

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Called on the build's thread.
    void ShowInitialising() override;
    void ShowSource(const std::string& nativePath) override;
    void ShowTarget(const std::string& nativePath) override;
    void ProcessMessages() override {}
    void ReportProgress(int64_t done, int64_t size, int64_t completed, int64_t total) override;

    void RunBuild();
    void Post();
    void Refresh();
    void Finish();

    HWND owner_;
    BuildEnvironment env_;
    BuildOptions options_;
    bool started_ = false;
    bool done_ = false;
    int result_ = 2;

    // What the build last reported, handed from its thread to this one.
    platform::Mutex lock_;
    struct Report {
        std::string source, target;  // UTF-8
        int64_t done = 0, size = 0;
        int64_t completed = 0, total = 0;
        bool hasFigures = false;
    } report_;
    bool posted_ = false;

    // The build's outcome, read once its thread has ended.
    bool succeeded_ = false;
    std::optional<std::string> error_;
    std::string errorPath_;  // the file or folder the error concerns, if any

    // Last, so that it is joined before anything the build uses goes.
    platform::Thread thread_;
};

}  // namespace ql::ui
