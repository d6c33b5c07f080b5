// The application's title: the name under which the running setup appears
// where Windows shows the application rather than one of its windows.
#pragma once

#include <string>

namespace qv {

const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);

// The title set at the program's entry.
inline constexpr const char* kSetupApplicationTitle = "设置";

}  // namespace qv
