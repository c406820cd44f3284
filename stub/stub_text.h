// Text rules of the stub that do not need the platform: failure messages and
// the parameter string handed to the program it runs. Byte strings in the
// system ANSI code page, and the messages also in UTF-16, as the stub shows
// names in any script.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace ql::stub {

namespace text_detail {

template <typename Char>
size_t Length(const Char* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Appends to a zero-terminated buffer, never past its capacity.
template <typename Char>
class TextBuilder {
public:
    TextBuilder(Char* out, size_t capacity) : out_(out), capacity_(capacity) {
        if (capacity_ > 0) out_[0] = 0;
    }
    void Add(const Char* text, size_t length) {
        for (size_t i = 0; i < length; ++i) {
            if (length_ + 1 >= capacity_) {
                complete_ = false;
                return;
            }
            out_[length_++] = text[i];
        }
        out_[length_] = 0;
    }
    void Add(const Char* text) { Add(text, Length(text)); }
    size_t length() const { return length_; }
    bool complete() const { return complete_; }

private:
    Char* out_;
    size_t capacity_;
    size_t length_ = 0;
    bool complete_ = true;
};

}  // namespace text_detail

// Length of `text` without its trailing control characters, blanks and full
// stops (a byte from 0x80 on is none, whether char is signed or not).
template <typename Char>
size_t TrimMessageEnd(const Char* text, size_t length) {
    while (length > 0 && (static_cast<uint32_t>(text[length - 1]) <= ' ' || text[length - 1] == '.'))
        --length;
    return length;
}

// The failure message: the system text with its first "%1" replaced by the
// subject, or, when it holds none, the subject, an empty line and the text.
// Cut to `capacity` - 1 characters; returns the length written.
template <typename Char>
size_t ComposeFailureMessage(const Char* subject, const Char* systemText, Char* out, size_t capacity) {
    text_detail::TextBuilder<Char> message(out, capacity);
    const size_t length = text_detail::Length(systemText);
    for (size_t i = 0; i + 1 < length; ++i) {
        if (systemText[i] == '%' && systemText[i + 1] == '1') {
            message.Add(systemText, i);
            message.Add(subject);
            message.Add(systemText + i + 2);
            return message.length();
        }
    }
    // Static: a local array would be copied in from a data section of its own.
    static constexpr Char kEmptyLine[] = {'\r', '\n', '\r', '\n', 0};
    message.Add(subject);
    message.Add(kEmptyLine);
    message.Add(systemText, length);
    return message.length();
}

// The parameters for the program the stub runs: the configured ones, then
// each parameter of the stub's own command line (the program name skipped)
// as a blank and the parameter in fresh double quotes. False, with `out`
// holding what fitted, when the result does not fit into `capacity` - 1 bytes.
bool BuildParameterString(const char* configured, const char* commandLine, char* out, size_t capacity);

// True when `text` holds nothing but blanks and control characters.
bool IsBlank(const char* text);

}  // namespace ql::stub
