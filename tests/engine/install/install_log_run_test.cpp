// The installation log of whole install sequences run by the progress
// window: every file with its decision, the question with its answer, the
// INI and registry entries, each undo entry as recorded, and a failure
// whose rollback tells which entry could not be undone.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/errors.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/install/install_form.h"
#include "install_bench.h"
#include "testkit/install_log_file.h"

namespace qv {
namespace {

using test::AnsweredBoxes;
using test::BenchFile;
using test::InstallBench;

// Checks that each part appears in a record of its own, in this order.
void ExpectInOrder(const std::vector<std::string>& records, const std::vector<std::string>& parts) {
    std::size_t at = 0;
    for (const std::string& part : parts) {
        const std::size_t found = test::FindRecord(records, part, at);
        if (found == records.size()) {
            std::string all;
            for (const std::string& record : records) all += "  " + record + "\n";
            ADD_FAILURE() << "no record with \"" << part << "\" after record " << at << " in:\n" << all;
            return;
        }
        at = found + 1;
    }
}

BenchFile Existing(const std::string& name, std::uint8_t replaceMode = rmNormal, std::uint8_t flags = 0) {
    BenchFile file = test::MakeBenchFile(name, test::Bytes("the new " + name));
    file.Record.ReplaceMode = replaceMode;
    file.Record.FileFlags = flags;
    return file;
}

// A key of this test's own below HKEY_CURRENT_USER, removed at scope end.
// The key above it is there, so that the installation makes this one only.
struct TestKey {
    TestKey() {
        HKEY parent = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QV Setup tests", 0, nullptr, 0, KEY_READ, nullptr, &parent,
                            nullptr) == ERROR_SUCCESS)
            RegCloseKey(parent);
    }
    const std::string path = "Software\\QV Setup tests\\install log " + std::to_string(GetCurrentProcessId());
    ~TestKey() {
        RegDeleteTreeW(HKEY_CURRENT_USER, Widen(path).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, Widen(path).c_str());
    }
};

TEST(InstallLogRun, ACompletedRunNamesEveryFileWithItsDecisionAndEveryChange) {
    BenchFile lib = Existing("lib.dll", rmKeepNewer);
    lib.Record.VersionFlags = vfHasVersion;
    lib.Record.FileVersionMS = 0x00010000;
    InstallBench bench({test::MakeBenchFile("new.txt", test::Bytes("new")), Existing("kept.txt", rmOnlyIfMissing),
                        lib, Existing("ask.txt", rmNormal, ffAskOverwrite), Existing("older.txt")});
    for (const char* name : {"kept.txt", "ask.txt", "older.txt"})
        test::WriteFileBytes(bench.AppFile(name), test::Bytes("old"));
    test::WriteFileBytes(bench.AppFile("lib.dll"), test::ReadFileBytes(test::BuiltFile("qvtest_version_2_0_3_4.dll")));
    bench.data.DirRecords.push_back({"{app}\\data", 0});
    bench.data.IniRecords.push_back({"{app}\\app.ini", "Options", "Size", "1", ifUninstDeleteKey});
    const TestKey key;
    TRegistryRec value;
    value.RootKey = kHkeyCurrentUser;
    value.SubKey = key.path;
    value.ValueName = "Path";
    value.ValueType = rtString;
    value.ValueString = "{app}";
    value.Flags = rfUninstDeleteKey;
    bench.data.RegistryRecords.push_back(value);

    const test::ScopedInstallLog log;
    {
        Owned<TInstallForm> form(bench.run);
        AnsweredBoxes boxes({IDNO});
        EXPECT_EQ(form.RunInstallSteps(), TInstallResult::Completed);
        EXPECT_EQ(boxes.asked.size(), 1u);
    }
    const auto quoted = [&](const std::string& name) { return "\"" + bench.AppFile(name) + "\""; };
    ExpectInOrder(log.Records(), {
        "step: creating the folders",
        "created folder " + quoted("data"),
        "undo entry #1: ekFolder " + quoted("data"),
        "step: installing the files (5)",
        "installed " + quoted("new.txt") + " (3 bytes from \"" + bench.source.file("SETUP.1") + "\"), a new file",
        "undo entry #2: ekFile " + quoted("new.txt"),
        "kept " + quoted("kept.txt") + " (existing-file table, row 1): only-if-missing and the file exists",
        "kept " + quoted("lib.dll") +
            " (existing-file table, row 2): existing file is newer (version 2.0.3.4 > 1.0.0.0), and the copy mode "
            "keeps newer files",
        "message box \"Confirm\" (question icon; buttons Yes, No; default Yes):\n" + bench.AppFile("ask.txt") +
            "\n文件已经存在 \n\n是否覆盖此文件？",
        "answer: No, answered automatically",
        "kept " + quoted("ask.txt") + " (existing-file table, row 6): the user answered No to overwrite",
        "installed " + quoted("older.txt") + " (17 bytes from \"" + bench.source.file("SETUP.1") +
            "\"), replacing the existing file (existing-file table, row 8): the setup's file carries no version",
        "undo entry #3: ekFile " + quoted("older.txt") + ", flags efWasPresent",
        "step: no icons to make",
        "step: writing the INI entries (1)",
        "wrote INI entry " + quoted("app.ini") + " [Options] Size=1",
        "undo entry #4: ekIniKey " + quoted("app.ini") + " [Options] Size",
        "step: writing the registry entries (1)",
        "wrote registry value HKEY_CURRENT_USER\\" + key.path + " \"Path\" = REG_SZ \"" + bench.app.path() + "\"",
        "undo entry #5: ekRegKeyTree HKEY_CURRENT_USER\\" + key.path,
        "installation completed; its recorded changes (5) are final",
    });
}

TEST(InstallLogRun, AFailureIsLoggedAndTheRollbackTellsEachEntrysResult) {
    InstallBench bench({test::MakeBenchFile("first.txt", test::Bytes("1")),
                        test::MakeBenchFile("second.txt", test::Bytes("2")),
                        test::MakeBenchFile("blocked.txt", test::Bytes("b")),
                        test::MakeBenchFile("third.txt", test::Bytes("3"))});
    // A folder where a file is to go: the file fails, and the user skips it.
    const std::string blocked = "\"" + bench.AppFile("blocked.txt") + "\"";
    CreateDirectoryW(Widen(bench.AppFile("blocked.txt")).c_str(), nullptr);
    // Damaged setup data: the last file has nowhere to come from.
    bench.data.FileLocationRecords.pop_back();
    bench.data.DirRecords.push_back({"{app}\\data", 0});
    const std::string second = bench.AppFile("second.txt");

    const test::ScopedInstallLog log;
    UniqueHFile holder;
    {
        Owned<TInstallForm> form(bench.run);
        AnsweredBoxes boxes({IDIGNORE});
        // While the error is shown, somebody opens the second file and
        // keeps it open through the rollback.
        boxes.duringBox = [&](std::size_t box) {
            if (box == 1)
                holder.reset(CreateFileW(Widen(second).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         0, nullptr));
        };
        EXPECT_EQ(form.RunInstallSteps(), TInstallResult::FailedRolledBack);
    }
    ASSERT_TRUE(holder);
    const std::string quotedSecond = "\"" + second + "\"";
    const std::vector<std::string> records = log.Records();
    // The error names its kind and the code it carries.
    const std::size_t error = test::FindRecord(records, "error with " + blocked);
    ASSERT_LT(error, records.size());
    EXPECT_NE(records[error].find("(EInOutError, run-time code "), std::string::npos) << records[error];
    ExpectInOrder(records, {
        "installed \"" + bench.AppFile("first.txt") + "\"",
        "installed " + quotedSecond,
        "error with " + blocked + ": \"错误：试图在目标文件夹中改变文件名时出错。\": \"I/O error ",
        "message box " + blocked + " (warning icon; buttons Abort, Retry, Ignore; default Retry):",
        "answer: Ignore, answered automatically",
        "skipped " + blocked + " after the error",
        "installation failed: \"内部错误：安装文件缺少位置信息。\" (Exception)",
        "error: \"内部错误：安装文件缺少位置信息。\" (Exception)",
        "(stop icon; buttons OK; default OK):\n内部错误：安装文件缺少位置信息。.",
        "answer: OK, answered automatically",
        "message box \"Error\" (stop icon; buttons OK; default OK):\n安装无法完成.",
        "rolling back the installation's recorded changes (3)",
        "rollback: undoing the entries, newest first (3)",
        "undo #3 ekFile " + quotedSecond + ": failed: cannot delete " + quotedSecond + ": Windows error",
        "undo #2 ekFile \"" + bench.AppFile("first.txt") + "\": done",
        "undo #1 ekFolder \"" + bench.AppFile("data") + "\": done",
        "rollback finished: entries that could not be undone: 1",
    });

}

}  // namespace
}  // namespace qv
