#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/instfunc/restart_replace.h"
#include "engine/common/unique_name.h"
#include "testkit/pending_renames.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

using test::PendingRenames;

std::wstring NtName(const std::string& path) { return test::SystemName(path); }

TEST(RestartReplace, OnNTTheSystemKeepsTheRenames) {
    const ScopedWindowsVersion nt(WindowsVersion::Of(5, 1, kPlatformWin32NT));
    ScratchFolder scratch;
    const std::string source = scratch.file("新 version.tmp"), target = scratch.file("in use.dll"),
                      obsolete = scratch.file("obsolete.dll");
    for (const auto& file : {source, target, obsolete}) test::WriteFileBytes(file, {1});
    const PendingRenames restoreAfterwards;
    bool restartNeeded = false;
    RestartReplace(source, target, "", restartNeeded);
    EXPECT_TRUE(restartNeeded);
    RestartReplace(obsolete, "", "", restartNeeded);

    const auto pending = PendingRenames::Read();
    const auto replace = std::find_if(pending.begin(), pending.end(), [&](const auto& p) { return p.first == NtName(source); });
    ASSERT_NE(replace, pending.end());
    // "!" marks a rename that may replace an existing target.
    EXPECT_EQ(replace->second, L"!" + NtName(target));
    const auto remove = std::find_if(pending.begin(), pending.end(), [&](const auto& p) { return p.first == NtName(obsolete); });
    ASSERT_NE(remove, pending.end());
    EXPECT_EQ(remove->second, L"");
    // Nothing happens before the restart.
    EXPECT_TRUE(FileExists(source));
    EXPECT_TRUE(FileExists(target));
}

TEST(RestartReplace, OnNTAFailureCarriesTheSystemCode) {
    const ScopedWindowsVersion nt(WindowsVersion::Of(5, 1, kPlatformWin32NT));
    ScratchFolder scratch;
    const PendingRenames restoreAfterwards;
    // The system schedules even a missing source; only a name it cannot
    // take at all fails.
    ASSERT_FALSE(MoveFileExW(L"", Widen(scratch.file("a.dll")).c_str(), 5));
    const DWORD code = GetLastError();
    ASSERT_NE(code, 0u);
    bool restartNeeded = false;
    try {
        RestartReplace("", scratch.file("a.dll"), "", restartNeeded);
        FAIL() << "an empty source was scheduled";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "MoveFileEx 失败；代码 " + std::to_string(code) + "。");
    }
    EXPECT_TRUE(restartNeeded);
}

TEST(RestartReplace, OnNTACancelTakesBackItsOwnPairAndNoOther) {
    const ScopedWindowsVersion nt(WindowsVersion::Of(5, 1, kPlatformWin32NT));
    ScratchFolder scratch;
    const std::string source = scratch.file("新 version.tmp"), target = scratch.file("in use.dll"),
                      other = scratch.file("other.tmp");
    for (const auto& file : {source, target, other}) test::WriteFileBytes(file, {1});
    const PendingRenames restoreAfterwards;
    bool restartNeeded = false;
    RestartReplace(other, "", "", restartNeeded);
    RestartReplace(source, target, "", restartNeeded);
    RestartReplace(other, target, "", restartNeeded);

    EXPECT_FALSE(CancelRestartReplace(source, "", ""));
    // Named as the installation named it; the system keeps it in its own letter case.
    EXPECT_TRUE(CancelRestartReplace(source, scratch.file("IN USE.DLL"), ""));
    EXPECT_FALSE(PendingRenames::Holds(source, target));
    EXPECT_TRUE(PendingRenames::Holds(other, ""));
    EXPECT_TRUE(PendingRenames::Holds(other, target));
    EXPECT_TRUE(CancelRestartReplace(other, "", ""));
    EXPECT_TRUE(CancelRestartReplace(other, target, ""));
    for (const auto& [from, to] : PendingRenames::Read()) EXPECT_EQ(from.find(Widen(scratch.path())), std::wstring::npos);
    EXPECT_FALSE(CancelRestartReplace(other, target, ""));
}

// The Windows 95 family, whose WININIT.INI lies in a scratch Windows folder.
class RestartReplaceWininit : public ::testing::Test {
protected:
    RestartReplaceWininit() : win95_(WindowsVersion::Of(4, 0, kPlatformWin32Windows)) {
        CreateDirectoryW(Widen(win_).c_str(), nullptr);
        CreateDirectoryW(Widen(app_).c_str(), nullptr);
        test::WriteFileBytes(source_, {1});
        test::WriteFileBytes(target_, {2});
    }
    void Replace(const std::string& source, const std::string& target) {
        bool restartNeeded = false;
        const ScopeExit check([&] { EXPECT_TRUE(restartNeeded); });  // failures too
        RestartReplace(source, target, win_, restartNeeded);
    }
    void WriteWininit(const std::string& text) { test::WriteFileBytes(wininit_, {text.begin(), text.end()}); }
    std::string ReadWininit() const {
        const auto bytes = test::ReadFileBytes(wininit_);
        return {bytes.begin(), bytes.end()};
    }
    // What WININIT.INI names the files by.
    std::string Short(const std::string& path) const { return GetShortPath(path); }

    ScopedWindowsVersion win95_;
    ScratchFolder scratch_;
    std::string win_ = scratch_.file("WINDOWS"), app_ = scratch_.file("Program Files"),
                wininit_ = win_ + "\\WININIT.INI";
    std::string source_ = app_ + "\\qv-new version.tmp", target_ = app_ + "\\shared library.dll";
};

TEST_F(RestartReplaceWininit, WithoutAFileOneIsMadeOfTwoLinesInShortNames) {
    // The long names have short forms of their own here.
    ASSERT_NE(Short(source_), source_);
    Replace(source_, target_);
    EXPECT_EQ(ReadWininit(), "[rename]\r\n" + Short(target_) + "=" + Short(source_) + "\r\n");
    EXPECT_EQ(test::ListFolder(win_), std::vector<std::string>{"WININIT.INI"});
}

TEST_F(RestartReplaceWininit, TheLineJoinsTheRenameSectionAndTheOldFileGoes) {
    WriteWininit("[first]\r\nk=v\r\n[Rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n[third]\r\nx=y\r\n");
    Replace(source_, "");
    EXPECT_EQ(ReadWininit(), "[first]\r\nk=v\r\n[Rename]\r\nC:\\A.DLL=C:\\A.TMP\r\nNUL=" + Short(source_) +
                                 "\r\n[third]\r\nx=y\r\n");
    Replace(source_, target_);
    EXPECT_EQ(ReadWininit(), "[first]\r\nk=v\r\n[Rename]\r\nC:\\A.DLL=C:\\A.TMP\r\nNUL=" + Short(source_) + "\r\n" +
                                 Short(target_) + "=" + Short(source_) + "\r\n[third]\r\nx=y\r\n");
    // The moved-aside copy does not stay behind.
    EXPECT_EQ(test::ListFolder(win_), std::vector<std::string>{"WININIT.INI"});
}

TEST_F(RestartReplaceWininit, ACancelRemovesItsOwnLineAndNothingElse) {
    const std::string line = Short(target_) + "=" + Short(source_);
    // The same text outside the rename section is none of its business.
    WriteWininit("[first]\r\n" + line + "\r\n[rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n");
    Replace(source_, target_);
    EXPECT_TRUE(CancelRestartReplace(source_, target_, win_));
    EXPECT_EQ(ReadWininit(), "[first]\r\n" + line + "\r\n[rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n");
    EXPECT_FALSE(CancelRestartReplace(source_, target_, win_));
    EXPECT_EQ(test::ListFolder(win_), std::vector<std::string>{"WININIT.INI"});
}

TEST_F(RestartReplaceWininit, AFailedRewriteLeavesTheOldFileAsItWas) {
    const std::string old = "[rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n";
    WriteWininit(old);
    {
        // Another writer keeps it open: it can be moved aside but not read
        // without letting that writer change it.
        const UniqueHFile writer(CreateFileW(Widen(wininit_).c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(writer.valid());
        EXPECT_THROW(Replace(source_, target_), EInOutError);
    }
    EXPECT_EQ(ReadWininit(), old);
    EXPECT_EQ(test::ListFolder(win_), std::vector<std::string>{"WININIT.INI"});
}

TEST_F(RestartReplaceWininit, ANameTheFileCannotHoldTouchesNothing) {
    const std::string old = "[boot]\r\n";
    WriteWininit(old);
    try {
        Replace(app_ + "\\\xF0\x9F\x98\x80.tmp", target_);
        FAIL() << "a name outside code page 936 was written";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), io_code::InvalidFilename);
    }
    EXPECT_EQ(ReadWininit(), old);
    EXPECT_EQ(test::ListFolder(win_), std::vector<std::string>{"WININIT.INI"});
}

}  // namespace
}  // namespace qv
