// A progress window stand-in that records what a build shows and runs test
// code at its display points.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "builder/engine/progress_sink.h"

namespace ql::test {

class ScriptedProgress : public ProgressSink {
public:
    void ShowInitialising() override { events.push_back("init"); }
    void ShowSource(const std::string& path) override {
        events.push_back("source " + path);
        if (onSource) onSource(path);
    }
    void ShowTarget(const std::string& path) override { events.push_back("target " + path); }
    void ProcessMessages() override {}
    void ReportProgress(int64_t done, int64_t size, int64_t completed, int64_t total) override {
        events.push_back("report " + std::to_string(done) + "/" + std::to_string(size) + " " +
                         std::to_string(completed) + "/" + std::to_string(total));
        if (onReport) onReport();
    }
    std::vector<std::string> events;
    std::function<void(const std::string&)> onSource;
    std::function<void()> onReport;
};

}  // namespace ql::test
