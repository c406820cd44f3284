// Placing a table's controls in their window.
#include "builder/ui/layout.h"

namespace ql::ui {

Rect ClientRect(const WindowSpec& window, const ControlSpec& control) {
    Rect r = control.rect;
    if (control.box == 0) return r;
    for (const ControlSpec& box : window.controls)
        if (box.id == control.box) return Rect{box.rect.x + r.x, box.rect.y + r.y, r.w, r.h};
    return r;
}

}  // namespace ql::ui
