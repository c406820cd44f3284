// A DialogHost that records what the builder would show, and answers
// confirmations as the test says.
#pragma once

#include <string>
#include <vector>

#include "builder/engine/dialog_host.h"

namespace ql::test {

class RecordingDialogs : public DialogHost {
public:
    struct Shown {
        std::string kind;  // "error", "information", "warning", "confirmation"
        std::string text;
        bool yesIsDefault = false;
    };

    void ShowError(const std::string& text) override { shown.push_back({"error", text}); }
    void ShowInformation(const std::string& text) override { shown.push_back({"information", text}); }
    void ShowWarning(const std::string& text) override { shown.push_back({"warning", text}); }
    bool AskConfirmation(const std::string& text, bool yesIsDefault) override {
        shown.push_back({"confirmation", text, yesIsDefault});
        return answer;
    }

    bool answer = false;
    std::vector<Shown> shown;
};

}  // namespace ql::test
