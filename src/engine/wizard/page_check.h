// The outcome of pressing Next on a wizard page that takes typed text.
#pragma once

#include <string>

namespace qv {

struct PageCheck {
    // False keeps the wizard on the page.
    bool Passed = false;
    // What the page's edit box shows afterwards: the cleaned text, also
    // when a later check failed, so that the user sees what was tested.
    std::string Text;
};

}  // namespace qv
