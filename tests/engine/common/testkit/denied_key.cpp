#include "testkit/denied_key.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

namespace {

UniqueHKey OpenForSecurity(HKEY root, const std::wstring& subKey) {
    UniqueHKey key;
    RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, key.put(), nullptr);
    return key;
}

}  // namespace

DeniedKey::DeniedKey(HKEY root, const std::string& subKey, REGSAM rights)
    : root_(root), subKey_(Widen(subKey)), rights_(rights) {
    const UniqueHKey key = OpenForSecurity(root_, subKey_);
    EXPECT_TRUE(key) << subKey;
    if (!key) return;
    DWORD size = 0;
    RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot read the security of " << subKey;
        saved_.clear();
        return;
    }
    // The refusal first, then everything for everyone: only `rights` is missing.
    EXPLICIT_ACCESSW access[2] = {};
    access[0].grfAccessPermissions = rights;
    access[0].grfAccessMode = DENY_ACCESS;
    access[1].grfAccessPermissions = KEY_ALL_ACCESS;
    access[1].grfAccessMode = GRANT_ACCESS;
    for (EXPLICIT_ACCESSW& each : access) {
        each.grfInheritance = NO_INHERITANCE;
        BuildTrusteeWithNameW(&each.Trustee, const_cast<wchar_t*>(L"Everyone"));
    }
    PACL acl = nullptr;
    if (SetEntriesInAclW(2, access, nullptr, &acl) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot build the access list for " << subKey;
        return;
    }
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS) << subKey;
    LocalFree(acl);
}

DeniedKey::~DeniedKey() {
    if (saved_.empty()) return;
    const UniqueHKey key = OpenForSecurity(root_, subKey_);
    if (key) RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data());
}

bool DeniedKey::Enforced() const {
    UniqueHKey key;
    return RegOpenKeyExW(root_, subKey_.c_str(), 0, rights_, key.put()) != ERROR_SUCCESS;
}

}  // namespace qv::test
