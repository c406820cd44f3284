// The Linux builder's progress on a terminal: one line on standard error,
// redrawn in place, with the bytes done, the percentage, the speed and the
// file being packed.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "builder/engine/progress_sink.h"

namespace ql {

class TerminalProgress : public ProgressSink {
public:
    // `width`: the terminal's columns; `seconds`: a steady clock.
    TerminalProgress(std::ostream& out, int width, std::function<double()> seconds);
    ~TerminalProgress() override;

    void ShowInitialising() override;
    void ShowSource(const std::string& nativePath) override;
    void ShowTarget(const std::string&) override {}
    void ProcessMessages() override {}
    void ReportProgress(int64_t done, int64_t size, int64_t completed, int64_t total) override;

    // Takes the line away, so that a message can be written in its place.
    void Clear();

private:
    void Draw(int64_t bytes, int64_t total);

    std::ostream& out_;
    int width_;
    std::function<double()> seconds_;
    std::string source_;
    double start_ = -1, lastDraw_ = -1;
    bool shown_ = false;
};

}  // namespace ql
