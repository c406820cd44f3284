// The windows' control tables: every control within its window and its box,
// no two controls on top of each other, every id once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "builder/ui/layout.h"

namespace ql::ui {
namespace {

bool Inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

bool Overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(Layout, ControlsFitTheirWindowAndBoxWithoutOverlapping) {
    for (const WindowSpec* window : {&kMainWindow, &kProgressWindow, &kAboutWindow, &kGeneratorWindow,
                                     &kHelpWindow, &kEnvironmentWindow}) {
        SCOPED_TRACE(window->className);
        const Rect client{0, 0, window->clientWidth, window->clientHeight};
        std::set<int> ids;
        for (const ControlSpec& c : window->controls) {
            EXPECT_TRUE(ids.insert(c.id).second) << c.id;
            const Rect r = ClientRect(*window, c);
            EXPECT_TRUE(Inside(r, client)) << c.id;
            if (c.box) {
                const Rect box =
                    ClientRect(*window, *std::find_if(window->controls.begin(), window->controls.end(),
                                                      [&](auto& b) { return b.id == c.box; }));
                EXPECT_TRUE(Inside(r, Rect{box.x + 4, box.y + 12, box.w - 8, box.h - 16})) << c.id;
            }
            for (const ControlSpec& other : window->controls) {
                if (&other == &c || c.kind == ControlKind::GroupBox || other.kind == ControlKind::GroupBox)
                    continue;
                EXPECT_FALSE(Overlap(r, ClientRect(*window, other))) << c.id << " and " << other.id;
            }
        }
    }
}

}  // namespace
}  // namespace ql::ui
