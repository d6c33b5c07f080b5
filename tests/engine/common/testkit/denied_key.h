// A registry key that refuses some rights to everyone for a scope, as a
// machine's keys refuse a user without administrator rights. The key's own
// security comes back at scope end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv::test {

class DeniedKey {
public:
    // Creates the key when it is missing. `rights` must leave the key's
    // security itself alone (no WRITE_DAC, READ_CONTROL or DELETE).
    DeniedKey(HKEY root, const std::string& subKey, REGSAM rights);
    ~DeniedKey();
    DeniedKey(const DeniedKey&) = delete;
    DeniedKey& operator=(const DeniedKey&) = delete;

    // Whether this system keeps to the refusal; a test skips where it does not.
    bool Enforced() const;

private:
    HKEY root_;
    std::wstring subKey_;
    REGSAM rights_;
    std::vector<BYTE> saved_;  // the security descriptor before, self-relative
};

}  // namespace qv::test
