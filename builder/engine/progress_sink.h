// What a build shows while it runs; the desktop builder's progress window
// implements it. A headless build has none.
#pragma once

#include <cstdint>
#include <string>

namespace ql {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void ShowInitialising() = 0;                         // source line: TextId::Initialising
    virtual void ShowSource(const std::string& nativePath) = 0;  // the file being packed
    virtual void ShowTarget(const std::string& nativePath) = 0;  // the SFX file
    virtual void ProcessMessages() = 0;                          // lets the cancel button act
    // Bytes of the current file done and its size, bytes of completed files and
    // the total; ends by processing pending messages.
    virtual void ReportProgress(int64_t done, int64_t size, int64_t completed, int64_t total) = 0;
};

}  // namespace ql
