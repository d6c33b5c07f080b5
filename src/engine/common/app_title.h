// The application's title: the name under which the running program appears
// where Windows shows the application rather than one of its windows, and
// the caption of its error box. Each program sets it once at its entry.
#pragma once

#include <string>

namespace qv {

const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);

}  // namespace qv
