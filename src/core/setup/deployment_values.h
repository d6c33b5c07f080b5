// What deployment tools (winget, Intune, Ansible, Chocolatey) read of an
// installation: the uninstall entry's extra values and its name, worked out
// once here for the engine, which writes them, and for qvsetup, which
// describes the program to such tools.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/setupdata/records.h"

namespace qv {

// "<AppNameVersion>_qv<n>": the uninstall key's name; n = 1 for the first
// installation of a version.
std::string UninstallKeyNameOf(const std::string& appNameVersion, int n);

// The version that AppNameVersion gives: the text after AppName and a
// space, when AppNameVersion starts so and the rest is a version (a digit,
// then only digits, letters, ".", "-" and "+"; at most 128 characters).
// nullopt otherwise ("你好" and "你好 1.0 测试版" give none, "你好 1.0" gives "1.0").
std::optional<std::string> DisplayVersionOf(const std::string& appName, const std::string& appNameVersion);

// The uninstall command line that asks nothing and shows nothing.
std::string QuietUninstallCommandLine(const std::string& uninstallCommandLine);

// The first icon in the program group ("{group}\..."), whose target names
// the application's program; nullptr when the group gets no icon.
const TIconRec* FirstGroupIcon(const std::vector<TIconRec>& icons);

}  // namespace qv
