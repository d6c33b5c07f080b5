// INI entries and registry entries undone in real INI files, WIN.INI and a
// private key of the registry; the same whether rolling back or uninstalling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/setupdata/records.h"
#include "engine/common/win_text.h"
#include "engine/undo/undo_changes.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::CreateKey;
using test::KeyExists;
using test::SetStringValue;
using test::StringValue;
using test::ValueExists;

std::string IniValue(const std::string& file, const std::string& section, const std::string& key) {
    wchar_t value[256] = {};
    if (file.empty())
        GetProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"<missing>", value, 256);
    else
        GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), L"<missing>", value, 256,
                                 Widen(file).c_str());
    return Narrow(value);
}

std::vector<std::string> IniSections(const std::string& file) {
    wchar_t names[4096] = {};
    const DWORD length = GetPrivateProfileSectionNamesW(names, 4096, Widen(file).c_str());
    std::vector<std::string> sections;
    for (const wchar_t* p = names; p < names + length && *p; p += wcslen(p) + 1) sections.push_back(Narrow(p));
    return sections;
}

class UndoIniAndRegistry : public ::testing::TestWithParam<bool> {
protected:
    bool Uninstalling() const { return GetParam(); }
};

TEST_P(UndoIniAndRegistry, IniKeysGoAndTheirSectionsWhenLeftEmpty) {
    test::ScratchFolder root("undo ini");
    const std::string ini = root.file("应用.ini");
    test::WriteText(ini, "[Kept]\r\nMine=1\r\nOurs=2\r\n[Emptied]\r\nOurs=3\r\n[Whole]\r\nA=1\r\nB=2\r\n[Other]\r\nX=9\r\n");
    const std::string winIniSection = "QVSetupUndoTest";
    WriteProfileStringW(Widen(winIniSection).c_str(), L"Key", L"1");
    ASSERT_EQ(IniValue("", winIniSection, "Key"), "1");

    TUndoChanges undo;
    undo.AddEntry(ekIniKey, {ini, "Kept", "Ours"}, 0);
    undo.AddEntry(ekIniKey, {ini, "Emptied", "Ours"}, 0);
    undo.AddEntry(ekIniSection, {ini, "Whole"}, 0);
    undo.AddEntry(ekIniKey, {ini, "Never", "Written"}, 0);
    undo.AddEntry(ekIniKey, {"", winIniSection, "Key"}, 0);
    undo.AddEntry(ekIniKey, {root.file("missing.ini"), "S", "K"}, 0);  // no failure, and no file made
    EXPECT_TRUE(undo.UndoAll(Uninstalling()));

    EXPECT_EQ(IniSections(ini), (std::vector<std::string>{"Kept", "Other"}));
    EXPECT_EQ(IniValue(ini, "Kept", "Mine"), "1");
    EXPECT_EQ(IniValue(ini, "Kept", "Ours"), "<missing>");
    EXPECT_EQ(IniValue(ini, "Other", "X"), "9");
    EXPECT_EQ(IniValue("", winIniSection, "Key"), "<missing>");
    wchar_t keys[16] = {};
    GetProfileStringW(Widen(winIniSection).c_str(), nullptr, L"", keys, 16);
    EXPECT_EQ(keys[0], L'\0');
    EXPECT_FALSE(test::Exists(root.file("missing.ini")));
}

TEST_P(UndoIniAndRegistry, RegistryKindsUndoTheirKeysAndValues) {
    const test::PrivateRegistryKey key;
    const HKEY hkcu = HKEY_CURRENT_USER;
    const std::string tree = key.sub("Tree"), deflt = key.sub("Default"), ifEmpty = key.sub("IfEmpty"),
                      notEmpty = key.sub("NotEmpty"), lastValue = key.sub("LastValue"), moreValues = key.sub("More"),
                      withSubkey = key.sub("WithSubkey");
    const std::string value = "Path", other = "Other";
    CreateKey(hkcu, tree + "\\a\\b");
    SetStringValue(hkcu, tree + "\\a", &value, "x");
    SetStringValue(hkcu, deflt, nullptr, "installed");
    SetStringValue(hkcu, deflt, &value, "kept");
    CreateKey(hkcu, ifEmpty);
    SetStringValue(hkcu, notEmpty, &value, "user's");
    SetStringValue(hkcu, lastValue, &value, "x");
    SetStringValue(hkcu, moreValues, &value, "x");
    SetStringValue(hkcu, moreValues, &other, "y");
    SetStringValue(hkcu, withSubkey, &value, "x");
    CreateKey(hkcu, withSubkey + "\\child");

    TUndoChanges undo;
    undo.AddEntry(ekRegKeyTree, {tree}, kHkeyCurrentUser);
    undo.AddEntry(ekRegKeyTree, {key.sub("Gone already")}, kHkeyCurrentUser);
    undo.AddEntry(ekRegDefaultValue, {deflt}, kHkeyCurrentUser);
    undo.AddEntry(ekRegDefaultValue, {key.sub("Gone already")}, kHkeyCurrentUser);
    undo.AddEntry(ekRegKeyIfEmpty, {ifEmpty}, kHkeyCurrentUser);
    undo.AddEntry(ekRegKeyIfEmpty, {notEmpty}, kHkeyCurrentUser);
    undo.AddEntry(ekRegValue, {lastValue, value}, kHkeyCurrentUser);
    undo.AddEntry(ekRegValue, {moreValues, value}, kHkeyCurrentUser);
    undo.AddEntry(ekRegValue, {withSubkey, value}, kHkeyCurrentUser);
    undo.AddEntry(ekRegValue, {key.sub("Gone already"), value}, kHkeyCurrentUser);
    EXPECT_TRUE(undo.UndoAll(Uninstalling()));

    EXPECT_FALSE(KeyExists(hkcu, tree));
    EXPECT_EQ(StringValue(hkcu, deflt, nullptr), "");
    EXPECT_EQ(StringValue(hkcu, deflt, &value), "kept");
    EXPECT_FALSE(KeyExists(hkcu, ifEmpty));
    EXPECT_EQ(StringValue(hkcu, notEmpty, &value), "user's");
    EXPECT_FALSE(KeyExists(hkcu, lastValue));
    EXPECT_FALSE(ValueExists(hkcu, moreValues, &value));
    EXPECT_EQ(StringValue(hkcu, moreValues, &other), "y");
    EXPECT_FALSE(ValueExists(hkcu, withSubkey, &value));
    EXPECT_TRUE(KeyExists(hkcu, withSubkey + "\\child"));
    EXPECT_FALSE(KeyExists(hkcu, key.sub("Gone already")));
}

TEST_P(UndoIniAndRegistry, AnEmptySubkeyNeverTakesTheRootAlong) {
    const test::PrivateRegistryKey key;
    TUndoChanges undo;
    undo.AddEntry(ekRegKeyTree, {""}, kHkeyCurrentUser);
    undo.AddEntry(ekRegKeyIfEmpty, {""}, kHkeyCurrentUser);
    test::ScriptedBoxes boxes;
    EXPECT_FALSE(undo.UndoAll(Uninstalling()));  // the tree entry could not be undone
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key.path()));
}

TEST_P(UndoIniAndRegistry, ARootThatIsNoPredefinedKeyIsReportedAndPassedOver) {
    const test::PrivateRegistryKey key;
    CreateKey(HKEY_CURRENT_USER, key.sub("Older"));
    TUndoChanges undo;
    undo.AddEntry(ekRegKeyTree, {key.sub("Older")}, kHkeyCurrentUser);
    undo.AddEntry(ekRegValue, {key.sub("Older"), "V"}, 0x00000004);
    test::ScriptedBoxes boxes;
    EXPECT_FALSE(undo.UndoAll(Uninstalling()));
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text,
              "反安装记录中的注册表根键 0x00000004 不是系统预定义的键.");
    EXPECT_EQ(boxes.asked[0].Caption, "反安装");
    EXPECT_EQ(boxes.asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.sub("Older")));
}

INSTANTIATE_TEST_SUITE_P(RollbackAndUninstall, UndoIniAndRegistry, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Uninstalling" : "RollingBack";
                         });

}  // namespace
}  // namespace qv
