// Presents Windows NT 3.51 (the old shell) to the engine for one scope.
#pragma once

#include "engine/common/platform.h"
#include "engine/common/windows_version.h"

namespace qv::test {

class OldShell {
public:
    OldShell() : version_(WindowsVersion::Of(3, 51, kPlatformWin32NT)) { ForgetWin4ShellAnswer(); }
    ~OldShell() { ForgetWin4ShellAnswer(); }
    OldShell(const OldShell&) = delete;
    OldShell& operator=(const OldShell&) = delete;

private:
    ScopedWindowsVersion version_;
};

}  // namespace qv::test
