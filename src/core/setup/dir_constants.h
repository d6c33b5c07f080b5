// Directory constants such as {app} in paths and values of the setup data.
#pragma once

#include <array>
#include <string>

namespace qv {

// The folders behind the constants. Values carry no trailing backslash
// except a drive root.
struct DirConstantValues {
    std::string Src;      // {src}
    std::string Tmp;      // {tmp}
    std::string App;      // {app}
    std::string Win;      // {win}
    std::string Sys;      // {sys}
    std::string Sd;       // {sd}
    std::string Pf;       // {pf}
    std::string Cf;       // {cf}
    std::string Group;    // the chosen group name, for {group}
    // user desktop, start menu, programs, startup, then the common four.
    std::array<std::string, 8> ShellFolders;
};

// Replaces every recognised constant (names are case-sensitive). Raises
// Exception("内部错误 C100") for {group} or a shell folder constant whose
// folder is empty.
std::string ExpandDirConstants(const std::string& s, const DirConstantValues& values);

}  // namespace qv
