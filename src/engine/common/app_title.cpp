#include "engine/common/app_title.h"

namespace qv {

namespace {
std::string& Title() {
    static std::string title;
    return title;
}
}  // namespace

const std::string& ApplicationTitle() { return Title(); }
void SetApplicationTitle(const std::string& title) { Title() = title; }

}  // namespace qv
