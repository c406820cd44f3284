// The progress window's arithmetic.
#include "builder/ui/progress_figures.h"

#include <cmath>

#include "shared/size_text.h"

namespace ql::ui {

namespace {

std::string SizeText(int64_t count, const char* decimalSeparator) {
    char text[kSizeTextCapacity];
    FormatSizeText(count, decimalSeparator, text, sizeof text);
    return text;
}

}  // namespace

ProgressFigures ComputeProgress(int64_t done, int64_t size, int64_t completed, int64_t total,
                                const char* decimalSeparator) {
    ProgressFigures figures;
    figures.fileBar = size == 0
                          ? kProgressBarMaximum
                          : static_cast<int>(std::nearbyint(kProgressBarMaximum * (double(done) / size)));
    if (total == 0) return figures;
    const int64_t processed = completed + done;
    const double share = double(processed) / double(total);
    figures.totalBar = static_cast<int>(std::trunc(kProgressBarMaximum * share));
    const int64_t percent = static_cast<int64_t>(std::trunc(share * 100));
    figures.sizeLine = SizeText(processed, decimalSeparator) + " / " + SizeText(total, decimalSeparator) +
                       "   (" + std::to_string(percent) + "%)";
    return figures;
}

}  // namespace ql::ui
