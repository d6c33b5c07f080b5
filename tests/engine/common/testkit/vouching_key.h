// An uninstall key below HKEY_LOCAL_MACHINE that vouches for an uninstall
// log, as Setup.exe writes one: the command line that names the log, and
// the log's SHA-256. In either registry view; gone at scope end.
#pragma once

#include <windows.h>

#include <string>

namespace qv::test {

class VouchingKey {
public:
    // `view` is KEY_WOW64_64KEY or KEY_WOW64_32KEY; the test fails when
    // the key cannot be written.
    VouchingKey(const std::string& name, const std::string& uninstallString, const std::string& hash, REGSAM view);
    ~VouchingKey();
    VouchingKey(const VouchingKey&) = delete;
    VouchingKey& operator=(const VouchingKey&) = delete;

private:
    std::wstring path_;
    REGSAM view_;
};

}  // namespace qv::test
