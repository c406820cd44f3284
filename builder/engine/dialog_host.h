// The four message boxes through which the builder's own logic speaks to the
// user. Texts are UTF-8; each platform shows them its own way.
#pragma once

#include <string>

namespace ql {

class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void ShowError(const std::string& text) = 0;
    virtual void ShowInformation(const std::string& text) = 0;
    virtual void ShowWarning(const std::string& text) = 0;
    // True only for Yes.
    virtual bool AskConfirmation(const std::string& text, bool yesIsDefault) = 0;
};

}  // namespace ql
