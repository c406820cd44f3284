// The main window's controls as recorded states, for the rules and the
// command-line generator.
#pragma once

#include <map>
#include <string>

#include "builder/ui/main_window_rules.h"

namespace ql::ui {

class FakePanel : public ControlPanel {
public:
    bool IsChecked(int id) const override { return checked.count(id) && checked.at(id); }
    void SetChecked(int id, bool value) override { checked[id] = value; }
    bool IsEnabled(int id) const override { return !enabled.count(id) || enabled.at(id); }
    void SetEnabled(int id, bool value) override { enabled[id] = value; }
    std::string Text(int id) const override { return texts.count(id) ? texts.at(id) : ""; }
    void SetText(int id, const std::string& text) override { texts[id] = text; }
    void Focus(int id) override { focus = id; }

    // What a click on a radio does: the auto radio button selects itself and
    // clears its group before its handler runs.
    void Click(std::span<const int> group, int id) {
        for (int each : group) checked[each] = each == id;
        OnControlClicked(*this, id);
    }

    std::map<int, bool> checked, enabled;
    std::map<int, std::string> texts;
    int focus = kNoControl;
};

}  // namespace ql::ui
