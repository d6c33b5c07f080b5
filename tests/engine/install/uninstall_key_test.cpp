// The uninstall key in the machine's real list of installed programs, under
// an application name no other test uses; every key it makes is removed.
#include <gtest/gtest.h>

#include <windows.h>

#include "engine/common/own_machine.h"
#include "core/errors.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/install/registry_entries.h"
#include "engine/install/uninstall_key.h"
#include "install_bench.h"
#include "testkit/denied_key.h"

namespace qv {
namespace {

using test::InstallBench;

struct UninstallKeyBench : InstallBench {
    UninstallKeyBench() : InstallBench({}) {
        data.SetupInfo.AppNameVersion = "QV 设置测试 " + std::to_string(GetCurrentProcessId()) + " 1.0";
        context.UninstallLogPattern = app.path() + "\\UNINST%s.007";
        RemoveKeys();
    }
    ~UninstallKeyBench() { RemoveKeys(); }

    std::string Full(int n) const { return std::string(kUninstallParentKey) + "\\" + UninstallKeyName(context, n); }
    bool Exists(int n) const {
        UniqueHKey key;
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(Full(n)).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    // An earlier installation's key, with a sub key of its own.
    void Plant(int n) const {
        UniqueHKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(Full(n) + "\\Extra").c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        UniqueHKey top;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(Full(n)).c_str(), 0, KEY_SET_VALUE, top.put()),
                  ERROR_SUCCESS);
        ASSERT_TRUE(RegWriteString(top.get(), "DisplayName", REG_SZ, "earlier"));
    }
    std::string String(int n, const std::string& name) const {
        UniqueHKey key;
        std::string value = "<missing>";
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(Full(n)).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
            !RegReadString(key.get(), name, value))
            value = "<missing>";
        return value;
    }
    DWORD Number(int n, const std::string& name) const {
        DWORD number = 0xDEADBEEF, size = sizeof number, type = 0;
        RegGetValueW(HKEY_LOCAL_MACHINE, Widen(Full(n)).c_str(), Widen(name).c_str(), RRF_RT_REG_DWORD, &type,
                     &number, &size);
        return number;
    }
    void RemoveKeys() const {
        for (int n = 1; n <= 5; ++n) RegDeleteKeyTree(HKEY_LOCAL_MACHINE, Full(n));
    }
};

TEST(UninstallKey, NamesAndCommandLine) {
    UninstallKeyBench bench;
    bench.data.SetupInfo.AppNameVersion = "示例 2.0";
    EXPECT_EQ(UninstallKeyName(bench.context, 12), "示例 2.0_qv12");
    bench.run.Folders.Win = "C:\\WINDOWS";
    bench.context.UninstallLogPattern = "D:\\程序\\UNINST%s.003";
    EXPECT_EQ(UninstallCommandLine(bench.context),
              "\"C:\\WINDOWS\\" + std::string(OwnUninstallerFileName()) + "\" /U \"D:\\程序\\UNINST0.003\" \"D:\\程序\\UNINST1.003\"");
    bench.run.Folders.Win = "C:\\";
    EXPECT_EQ(UninstallCommandLine(bench.context).substr(0, 17), "\"C:\\" + std::string(OwnUninstallerFileName()) + "\"");
}

TEST(UninstallKey, TakesTheFirstFreeNumberAndRollsBack) {
    UninstallKeyBench bench;
    bench.Plant(1);
    bench.Plant(2);
    TFileRec big, deletedAtEnd;
    big.OriginalSize = 3 * 1024 + 1;
    deletedAtEnd.OriginalSize = 1 << 20;
    deletedAtEnd.FileFlags = ffDeleteAtEnd;
    bench.data.FileRecords = {big, deletedAtEnd};

    EXPECT_TRUE(WriteUninstallKey(bench.context));
    EXPECT_TRUE(bench.Exists(3));
    EXPECT_EQ(bench.String(3, "DisplayName"), bench.data.SetupInfo.AppNameVersion);
    EXPECT_EQ(bench.String(3, "UninstallString"), UninstallCommandLine(bench.context));
    EXPECT_EQ(bench.String(3, "InstallLocation"), bench.app.path());
    EXPECT_EQ(bench.Number(3, "NoModify"), 1u);
    EXPECT_EQ(bench.Number(3, "NoRepair"), 1u);
    EXPECT_EQ(bench.Number(3, "EstimatedSize"), 4u);
    EXPECT_EQ(bench.String(1, "DisplayName"), "earlier");

    ASSERT_EQ(bench.undo.Entries().size(), 1u);
    const TChangeEntry& entry = bench.undo.Entries()[0];
    EXPECT_EQ(entry.Kind, ekRegKeyTree);
    EXPECT_EQ(entry.Flags, kHkeyLocalMachine);
    EXPECT_EQ(entry.StringData, TChangeEntry::Make(ekRegKeyTree, {bench.Full(3)}, 0).StringData);

    EXPECT_TRUE(bench.undo.UndoAll(false));
    EXPECT_FALSE(bench.Exists(3));
    EXPECT_TRUE(bench.Exists(1));
    EXPECT_TRUE(bench.Exists(2));
}

TEST(UninstallKey, ReplaceDeletesUpToTheFirstGapAndWritesOne) {
    UninstallKeyBench bench;
    bench.data.SetupInfo.Options = optUninstallable | optReplaceUninstallEntries;
    bench.Plant(1);
    bench.Plant(2);
    bench.Plant(4);  // beyond the gap at 3
    EXPECT_TRUE(WriteUninstallKey(bench.context));
    EXPECT_EQ(bench.String(1, "DisplayName"), bench.data.SetupInfo.AppNameVersion);
    EXPECT_FALSE(bench.Exists(2));
    EXPECT_FALSE(bench.Exists(3));
    EXPECT_TRUE(bench.Exists(4));
    // The earlier key's sub key went with it.
    UniqueHKey extra;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(bench.Full(1) + "\\Extra").c_str(), 0, KEY_READ, extra.put()),
              ERROR_SUCCESS);
    ASSERT_EQ(bench.undo.Entries().size(), 1u);
    EXPECT_EQ(bench.undo.Entries()[0].StringData, TChangeEntry::Make(ekRegKeyTree, {bench.Full(1)}, 0).StringData);
}

TEST(UninstallKey, AKeyTheUserMayNotWriteIsLeftOutWithoutAQuestion) {
    UninstallKeyBench bench;
    // The first name is held by a key the user may neither read nor
    // write, as the list refuses a user without administrator rights.
    const test::DeniedKey denied(HKEY_LOCAL_MACHINE, bench.Full(1), KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!denied.Enforced()) GTEST_SKIP() << "this system does not enforce registry key security";
    test::AnsweredBoxes noQuestions;
    EXPECT_FALSE(WriteUninstallKey(bench.context));
    EXPECT_TRUE(bench.undo.Empty());
    EXPECT_TRUE(noQuestions.asked.empty());
}

TEST(UninstallKey, NoKeyBelowWindows4) {
    UninstallKeyBench bench;
    const ScopedWindowsVersion old(WindowsVersion::Of(3, 95, kPlatformWin32s));
    EXPECT_FALSE(WriteUninstallKey(bench.context));
    EXPECT_FALSE(bench.Exists(1));
    EXPECT_TRUE(bench.undo.Empty());
}

}  // namespace
}  // namespace qv
