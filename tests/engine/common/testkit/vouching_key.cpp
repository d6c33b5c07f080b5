#include "testkit/vouching_key.h"

#include <gtest/gtest.h>

#include "core/uninstall/uninstall_log_hash.h"
#include "engine/install/registry_entries.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

VouchingKey::VouchingKey(const std::string& name, const std::string& uninstallString, const std::string& hash,
                         REGSAM view)
    : path_(Widen(std::string(kUninstallListKey) + "\\" + name)), view_(view) {
    UniqueHKey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(RegWriteString(key.get(), "UninstallString", REG_SZ, uninstallString));
    EXPECT_TRUE(RegWriteString(key.get(), kUninstallLogHashValue, REG_SZ, hash));
}

VouchingKey::~VouchingKey() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), view_, 0); }

}  // namespace qv::test
