#include <gtest/gtest.h>

#include <aclapi.h>

#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"

namespace qv {
namespace {

const wchar_t kTestRoot[] = L"Software\\QVSetupTests\\Registry";

// A fresh key under HKCU for each test, removed afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        root_.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    }
    void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(root_.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    void SetText(const wchar_t* name, DWORD type, const std::wstring& text) {
        SetValue(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    UniqueHKey CreateKey(const std::wstring& path) {
        UniqueHKey key;
        EXPECT_EQ(RegCreateKeyExW(root_.get(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    bool KeyExists(const std::wstring& path) {
        UniqueHKey key;
        return RegOpenKeyExW(root_.get(), path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    UniqueHKey root_;
};

TEST_F(Registry, ReadsStringsAndOnlyStrings) {
    SetText(L"Plain", REG_SZ, L"示例 text");
    SetText(L"Expand", REG_EXPAND_SZ, L"%SystemRoot%\\x");
    SetText(L"Empty", REG_SZ, L"");
    const DWORD number = 7;
    SetValue(L"Number", REG_DWORD, &number, sizeof number);
    std::string value = "old";
    EXPECT_TRUE(RegReadString(root_.get(), "Plain", value));
    EXPECT_EQ(value, "示例 text");
    EXPECT_TRUE(RegReadString(root_.get(), "Expand", value));
    EXPECT_EQ(value, "%SystemRoot%\\x");  // not expanded
    EXPECT_TRUE(RegReadString(root_.get(), "Empty", value));
    EXPECT_EQ(value, "");
    value = "old";
    EXPECT_FALSE(RegReadString(root_.get(), "Number", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(RegReadString(root_.get(), "Missing", value));
}

TEST_F(Registry, AStringStoredWithoutItsZeroKeepsItsLastCharacter) {
    SetValue(L"Bare", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    std::string value;
    EXPECT_TRUE(RegReadString(root_.get(), "Bare", value));
    EXPECT_EQ(value, "abc");
}

TEST_F(Registry, HasValue) {
    SetText(L"Present", REG_SZ, L"x");
    EXPECT_TRUE(RegHasValue(root_.get(), "Present"));
    EXPECT_FALSE(RegHasValue(root_.get(), "Absent"));
}

TEST_F(Registry, DeletesAWholeTree) {
    CreateKey(L"Tree\\A\\A1\\A11");
    CreateKey(L"Tree\\B");
    CreateKey(L"Tree\\C");
    CreateKey(L"Sibling");
    EXPECT_TRUE(RegDeleteKeyTree(root_.get(), "Tree"));
    EXPECT_FALSE(KeyExists(L"Tree"));
    EXPECT_TRUE(KeyExists(L"Sibling"));
    EXPECT_FALSE(RegDeleteKeyTree(root_.get(), "Tree"));  // nothing left to delete
}

// A key whose security descriptor lets nobody open or delete it.
void LockKey(HKEY key) {
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = KEY_SET_VALUE;  // everything but query, enumerate and delete
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    BuildTrusteeWithNameW(&access.Trustee, const_cast<wchar_t*>(L"Everyone"));
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &access, nullptr, &acl), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    LocalFree(acl);
}

void UnlockKey(HKEY parent, const wchar_t* name) {
    UniqueHKey key;
    if (RegOpenKeyExW(parent, name, 0, WRITE_DAC, key.put()) != ERROR_SUCCESS) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);  // no DACL: everyone may do everything
    RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd);
}

TEST_F(Registry, AnUndeletableSubkeyIsPassedOverAndTheTreeStays) {
    CreateKey(L"Tree\\A\\A1");
    UniqueHKey locked = CreateKey(L"Tree\\B");
    CreateKey(L"Tree\\C");
    LockKey(locked.get());
    locked.reset();
    UniqueHKey probe;
    if (RegOpenKeyExW(root_.get(), L"Tree\\B", 0, KEY_QUERY_VALUE, probe.put()) == ERROR_SUCCESS) {
        UnlockKey(root_.get(), L"Tree\\B");
        GTEST_SKIP() << "this system does not enforce registry key security";
    }

    EXPECT_FALSE(RegDeleteKeyTree(root_.get(), "Tree"));
    EXPECT_FALSE(KeyExists(L"Tree\\A"));
    EXPECT_FALSE(KeyExists(L"Tree\\C"));
    EXPECT_TRUE(KeyExists(L"Tree"));
    UniqueHKey tree;
    ASSERT_EQ(RegOpenKeyExW(root_.get(), L"Tree", 0, KEY_READ, tree.put()), ERROR_SUCCESS);
    DWORD subkeys = 0;
    RegQueryInfoKeyW(tree.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(subkeys, 1u);  // only the locked one
    UnlockKey(tree.get(), L"B");
}

TEST_F(Registry, AnEmptySubkeyNameIsRefusedAndDeletesNothing) {
    CreateKey(L"Child");
    EXPECT_FALSE(RegDeleteKeyTree(root_.get(), ""));
    EXPECT_TRUE(KeyExists(L"Child"));
}

TEST_F(Registry, OutsideNTOnlyTheKeyItselfIsDeleted) {
    // The Windows 95 family's RegDeleteKey takes the subkeys along; on this
    // NT it refuses a key that has them, so the tree stays whole.
    CreateKey(L"Tree\\A");
    CreateKey(L"Leaf");
    ScopedWindowsVersion win95(WindowsVersion::Of(4, 0, kPlatformWin32Windows));
    EXPECT_TRUE(RegDeleteKeyTree(root_.get(), "Leaf"));
    EXPECT_FALSE(KeyExists(L"Leaf"));
    EXPECT_FALSE(RegDeleteKeyTree(root_.get(), "Tree"));
    EXPECT_TRUE(KeyExists(L"Tree\\A"));
}

}  // namespace
}  // namespace qv
