// What the progress window shows for one report of a build: the two bars
// (0 to 1000) and the processed-bytes line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ql::ui {

constexpr int kProgressBarMaximum = 1000;

struct ProgressFigures {
    int fileBar = 0;
    int totalBar = 0;
    std::optional<std::string> sizeLine;  // none: the line stays as it is
};

// `done` bytes of the current file of `size`, `completed` bytes of the files
// before it, `total` bytes of the build. The file bar rounds half to even and
// is full for an empty file; the total bar and the percentage truncate; with
// a total of 0 the total bar is empty and the line stays.
ProgressFigures ComputeProgress(int64_t done, int64_t size, int64_t completed, int64_t total,
                                const char* decimalSeparator);

}  // namespace ql::ui
