// The progress line: redrawn at most ten times a second, and always at the end.
#include "builder/cli/terminal_progress.h"

#include <cstdio>
#include <ostream>

#include "builder/resources/texts.h"
#include "shared/size_text.h"

namespace ql {

namespace {

constexpr double kRedrawInterval = 0.1;

std::string Size(int64_t bytes) {
    char text[kSizeTextCapacity];
    FormatSizeText(bytes, ".", text, sizeof text);
    return text;
}

// The last `columns` characters of UTF-8 text, marked as cut when cut.
std::string Tail(const std::string& text, size_t columns) {
    size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
    if (characters <= columns) return text;
    if (columns < 4) return "";
    size_t i = 0;
    for (size_t drop = characters - (columns - 3); drop > 0; --drop) do
            ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80);
    return "..." + text.substr(i);
}

}  // namespace

TerminalProgress::TerminalProgress(std::ostream& out, int width, std::function<double()> seconds)
    : out_(out), width_(width > 20 ? width : 80), seconds_(std::move(seconds)) {}

TerminalProgress::~TerminalProgress() { Clear(); }

void TerminalProgress::ShowInitialising() { source_ = Tr(TextId::Initialising); }

void TerminalProgress::ShowSource(const std::string& nativePath) { source_ = nativePath; }

void TerminalProgress::ReportProgress(int64_t done, int64_t size, int64_t completed, int64_t total) {
    const double now = seconds_();
    if (start_ < 0) start_ = now;
    const int64_t bytes = completed + done;
    const bool last = total > 0 && done == size && bytes == total;
    if (!last && lastDraw_ >= 0 && now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    Draw(bytes, total);
}

void TerminalProgress::Draw(int64_t bytes, int64_t total) {
    const double elapsed = seconds_() - start_;
    char head[96];
    std::snprintf(
        head, sizeof head, "%3d%%  %s / %s  %.1f MB/s  ",
        total > 0 ? static_cast<int>(bytes * 100 / total) : 0, Size(bytes).c_str(), Size(total).c_str(),
        elapsed > 0 ? static_cast<double>(bytes) / (1 << 20) / elapsed : 0.0);  // MB as in the sizes
    const size_t used = std::string(head).size(), room = static_cast<size_t>(width_ - 1);
    const std::string line = head + Tail(source_, room > used ? room - used : 0);
    out_ << "\r" << line << "\x1b[K" << std::flush;  // the rest of an earlier, longer line goes
    shown_ = true;
}

void TerminalProgress::Clear() {
    if (!shown_) return;
    out_ << "\r\x1b[K" << std::flush;
    shown_ = false;
}

}  // namespace ql
