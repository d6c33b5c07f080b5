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
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// The renames NT keeps for its next start, put back as they were when the
// test ends.
class PendingRenames {
public:
    PendingRenames() : saved_(ReadRaw()) {}
    ~PendingRenames() {
        UniqueHKey key = Open();
        if (saved_)
            RegSetValueExW(key.get(), kPendingRenames, 0, REG_MULTI_SZ, saved_->data(),
                           static_cast<DWORD>(saved_->size()));
        else
            RegDeleteValueW(key.get(), kPendingRenames);
    }
    PendingRenames(const PendingRenames&) = delete;
    PendingRenames& operator=(const PendingRenames&) = delete;

    // The operations as pairs: the source, then the target ("" deletes).
    static std::vector<std::pair<std::wstring, std::wstring>> Read() {
        std::vector<std::wstring> strings;
        if (const auto raw = ReadRaw()) {
            const auto* text = reinterpret_cast<const wchar_t*>(raw->data());
            const std::size_t length = raw->size() / sizeof(wchar_t);
            for (std::size_t start = 0; start < length;) {
                std::size_t end = start;
                while (end < length && text[end]) ++end;
                strings.emplace_back(text + start, end - start);
                start = end + 1;
            }
        }
        // The list ends with an empty string.
        std::vector<std::pair<std::wstring, std::wstring>> pairs;
        for (std::size_t i = 0; i + 1 < strings.size(); i += 2) pairs.emplace_back(strings[i], strings[i + 1]);
        return pairs;
    }

private:
    static UniqueHKey Open() {
        UniqueHKey key;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put());
        return key;
    }
    static std::optional<std::vector<BYTE>> ReadRaw() {
        UniqueHKey key = Open();
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key.get(), kPendingRenames, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::vector<BYTE> bytes(size);
        RegQueryValueExW(key.get(), kPendingRenames, nullptr, &type, bytes.data(), &size);
        bytes.resize(size);
        return bytes;
    }
    std::optional<std::vector<BYTE>> saved_;
};

std::wstring NtName(const std::string& path) { return L"\\??\\" + Widen(path); }

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
