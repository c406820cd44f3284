// Windows described as data: each window is a table of its controls, created
// in table order (which is also the tab order) by one loop on the Win32 side.
// Portable, so that the tables can be checked without Windows.
#pragma once

#include <cstdint>
#include <span>

#include "builder/resources/texts.h"

namespace ql::ui {

enum class ControlKind : uint8_t {
    GroupBox,      // a framed box with a caption; the controls of the box name it as `box`
    Label,         // static text
    RightLabel,    // static text, right-aligned, cut at the left ("...\file.txt" stays visible)
    Link,          // static text drawn as a link: blue, underlined, hand cursor
    Edit,          // one-line text field
    ReadOnlyText,  // multi-line, read-only text with a vertical scroll bar
    Button,
    DefaultButton,  // bold; Enter presses it
    Radio,
    CheckBox,     // wraps its text
    ProgressBar,  // range 0..1000
    Icon,         // the application's icon
    List,         // two-column list with a title row
    Tip,          // static text in the system's hot-track colour
};

// A control's or a window's text: a row of the texts table, or a fixed text
// that is the same in every language (a name, an address, nothing).
struct Caption {
    constexpr Caption(TextId id) : text(id) {}
    constexpr Caption(const char* fixed = "") : fixed(fixed) {}
    const char* Utf8() const { return fixed ? fixed : Tr(text); }

    TextId text{};
    const char* fixed = nullptr;
};

struct Rect {
    int x, y, w, h;
};

struct ControlSpec {
    int id;
    ControlKind kind;
    Caption caption;
    Rect rect;  // in the box `box`, or in the client area when `box` is 0
    int box = 0;
    bool groupStart = false;  // starts a radio group (and ends the one before)
    int limit = 0;            // an edit's longest text in characters; 0 for the system's own
};

struct WindowSpec {
    const char* className;
    Caption caption;  // some windows set theirs at creation
    int clientWidth, clientHeight;
    std::span<const ControlSpec> controls;
};

// Where a control lies in its window's client area.
Rect ClientRect(const WindowSpec& window, const ControlSpec& control);

extern const WindowSpec kMainWindow;
extern const WindowSpec kProgressWindow;
extern const WindowSpec kAboutWindow;
extern const WindowSpec kGeneratorWindow;
extern const WindowSpec kHelpWindow;
extern const WindowSpec kEnvironmentWindow;

}  // namespace ql::ui
