// Text rules of the stub that do not need the platform.
#include "stub/stub_text.h"

#include "stub/command_line.h"

namespace ql::stub {

namespace {

size_t Length(const char* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Appends to a zero-terminated buffer, never past its capacity.
class TextBuilder {
public:
    TextBuilder(char* out, size_t capacity) : out_(out), capacity_(capacity) {
        if (capacity_ > 0) out_[0] = '\0';
    }
    void Add(const char* text, size_t length) {
        for (size_t i = 0; i < length; ++i) {
            if (length_ + 1 >= capacity_) {
                complete_ = false;
                return;
            }
            out_[length_++] = text[i];
        }
        out_[length_] = '\0';
    }
    void Add(const char* text) { Add(text, Length(text)); }
    size_t length() const { return length_; }
    bool complete() const { return complete_; }

private:
    char* out_;
    size_t capacity_;
    size_t length_ = 0;
    bool complete_ = true;
};

}  // namespace

size_t TrimMessageEnd(const char* text, size_t length) {
    while (length > 0 && (static_cast<uint8_t>(text[length - 1]) <= ' ' || text[length - 1] == '.')) --length;
    return length;
}

size_t ComposeFailureMessage(const char* subject, const char* systemText, char* out, size_t capacity) {
    TextBuilder message(out, capacity);
    const size_t length = Length(systemText);
    for (size_t i = 0; i + 1 < length; ++i) {
        if (systemText[i] == '%' && systemText[i + 1] == '1') {
            message.Add(systemText, i);
            message.Add(subject);
            message.Add(systemText + i + 2);
            return message.length();
        }
    }
    message.Add(subject);
    message.Add("\r\n\r\n");
    message.Add(systemText, length);
    return message.length();
}

bool BuildParameterString(const char* configured, const char* commandLine, char* out, size_t capacity) {
    TextBuilder parameters(out, capacity);
    parameters.Add(configured);
    const char* p = ScanParameter(commandLine, [](char) {});  // the program name
    while (p) {
        while (*p && IsParameterSeparator(*p)) ++p;
        if (!*p) break;
        parameters.Add(" \"");
        p = ScanParameter(p, [&](char c) { parameters.Add(&c, 1); });
        parameters.Add("\"");
    }
    return parameters.complete();
}

bool IsBlank(const char* text) {
    for (; *text; ++text)
        if (!IsParameterSeparator(*text)) return false;
    return true;
}

}  // namespace ql::stub
