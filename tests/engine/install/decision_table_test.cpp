// Whether a file already at the destination stays or is replaced, case by
// case: the copy modes, real version resources, time stamps, the three
// questions answered each way and the read-only attribute.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "engine/common/win_text.h"
#include "install_bench.h"

namespace qv {
namespace {

using test::AnsweredBoxes;
using test::InstallBench;

enum class Existing {
    Plain,        // no version resource
    Version2034,  // file version 2.0.3.4: MS 0x00020000, LS 0x00030004
    TopBits,      // 32768.0.32768.0: MS 0x80000000, LS 0x80000000
};

enum class Stamp { Equal, Later, Earlier };

enum class Asked { NewerVersion, Overwrite, ReadOnly, DeleteFailed };

struct DecisionCase {
    const char* name;
    Existing existing;
    Stamp stamp;
    bool readOnly;
    std::uint8_t replaceMode;
    std::uint8_t fileFlags;
    std::uint8_t versionFlags;
    std::uint32_t ourMS, ourLS;
    std::vector<int> answers;
    std::vector<Asked> asked;
    bool replaced;
};

constexpr std::uint8_t kVersioned = vfHasVersion;
constexpr std::uint8_t kVersionedAndTimed = vfHasVersion | vfCompareTime;

const DecisionCase kCases[] = {
    // Row 1: an existing file is never replaced, whatever else is set.
    {"OnlyIfMissingKeepsSilently", Existing::Plain, Stamp::Equal, true, rmOnlyIfMissing, ffAskOverwrite, 0, 0, 0,
     {}, {}, false},
    {"OnlyIfMissingKeepsEvenAnOlderVersion", Existing::Version2034, Stamp::Equal, false, rmOnlyIfMissing, 0,
     kVersioned, 0x00090000, 0, {}, {}, false},
    // Row 2: the existing version is higher.
    {"NewerExistingVersionYesKeeps", Existing::Version2034, Stamp::Equal, false, rmNormal, 0, kVersioned,
     0x00010000, 0, {IDYES}, {Asked::NewerVersion}, false},
    {"NewerExistingVersionNoReplaces", Existing::Version2034, Stamp::Equal, false, rmNormal, 0, kVersioned,
     0x00010000, 0, {IDNO}, {Asked::NewerVersion}, true},
    {"NewerByTheLeastSignificantWordAsks", Existing::Version2034, Stamp::Equal, false, rmNormal, 0, kVersioned,
     0x00020000, 0x00030003, {IDYES}, {Asked::NewerVersion}, false},
    {"KeepNewerModeKeepsWithoutAsking", Existing::Version2034, Stamp::Equal, false, rmKeepNewer, 0, kVersioned,
     0x00010000, 0, {}, {}, false},
    {"NoToTheNewerVersionGoesOnToTheOverwriteQuestion", Existing::Version2034, Stamp::Equal, false, rmNormal,
     ffAskOverwrite, kVersioned, 0x00010000, 0, {IDNO, IDYES}, {Asked::NewerVersion, Asked::Overwrite}, true},
    {"TopBitOfTheExistingWordIsNoSign", Existing::TopBits, Stamp::Equal, false, rmNormal, 0, kVersioned, 0x7FFFFFFF,
     0xFFFFFFFF, {IDYES}, {Asked::NewerVersion}, false},
    {"TopBitOfTheLeastSignificantWordIsNoSign", Existing::TopBits, Stamp::Equal, false, rmNormal, 0, kVersioned,
     0x80000000, 0x00000001, {IDYES}, {Asked::NewerVersion}, false},
    {"OurTopBitMakesOursNewer", Existing::Version2034, Stamp::Equal, false, rmNormal, 0, kVersioned, 0x80000000, 0,
     {}, {}, true},
    {"AlwaysModeSkipsTheVersions", Existing::Version2034, Stamp::Equal, false, rmAlways, 0, kVersioned, 0x00010000, 0,
     {}, {}, true},
    {"AlwaysModeStillAsksToOverwrite", Existing::Version2034, Stamp::Equal, false, rmAlways, ffAskOverwrite,
     kVersioned, 0x00010000, 0, {IDYES}, {Asked::Overwrite}, true},
    {"AlwaysModeStillMeetsReadOnly", Existing::Version2034, Stamp::Equal, true, rmAlways, 0, kVersioned, 0x00010000,
     0, {IDIGNORE}, {Asked::ReadOnly}, false},
    {"NoVersionInTheRecordSkipsTheVersions", Existing::Version2034, Stamp::Equal, false, rmNormal, 0, 0, 0x00010000,
     0, {}, {}, true},
    {"AnExistingFileWithoutVersionSkipsTheVersions", Existing::Plain, Stamp::Later, false, rmNormal, 0,
     kVersionedAndTimed, 0x00010000, 0, {}, {}, true},
    {"OursNewerReplacesWithoutAsking", Existing::Version2034, Stamp::Later, false, rmNormal, 0, kVersionedAndTimed,
     0x00020000, 0x00030005, {}, {}, true},
    // Row 3: equal versions without the time check keep silently.
    {"EqualVersionsKeepBeforeTheOverwriteQuestion", Existing::Version2034, Stamp::Earlier, false, rmNormal,
     ffAskOverwrite, kVersioned, 0x00020000, 0x00030004, {}, {}, false},
    // Rows 4 and 5: equal versions with the time check.
    {"EqualVersionsAndEqualTimesKeep", Existing::Version2034, Stamp::Equal, false, rmNormal, 0, kVersionedAndTimed,
     0x00020000, 0x00030004, {}, {}, false},
    {"EqualVersionsAndALaterExistingTimeYesKeeps", Existing::Version2034, Stamp::Later, false, rmNormal, 0,
     kVersionedAndTimed, 0x00020000, 0x00030004, {IDYES}, {Asked::NewerVersion}, false},
    {"EqualVersionsAndALaterExistingTimeNoReplaces", Existing::Version2034, Stamp::Later, false, rmNormal, 0,
     kVersionedAndTimed, 0x00020000, 0x00030004, {IDNO}, {Asked::NewerVersion}, true},
    {"EqualVersionsAndALaterExistingTimeKeepNewerKeeps", Existing::Version2034, Stamp::Later, false, rmKeepNewer, 0,
     kVersionedAndTimed, 0x00020000, 0x00030004, {}, {}, false},
    {"EqualVersionsAndAnEarlierExistingTimeReplaces", Existing::Version2034, Stamp::Earlier, false, rmNormal, 0,
     kVersionedAndTimed, 0x00020000, 0x00030004, {}, {}, true},
    // Row 6: the overwrite question.
    {"OverwriteYesReplaces", Existing::Plain, Stamp::Equal, false, rmNormal, ffAskOverwrite, 0, 0, 0, {IDYES},
     {Asked::Overwrite}, true},
    {"OverwriteNoKeeps", Existing::Plain, Stamp::Equal, false, rmNormal, ffAskOverwrite, 0, 0, 0, {IDNO},
     {Asked::Overwrite}, false},
    {"OverwriteNoKeepsAReadOnlyFileWithoutAsking", Existing::Plain, Stamp::Equal, true, rmNormal, ffAskOverwrite, 0,
     0, 0, {IDNO}, {Asked::Overwrite}, false},
    // Row 7: read-only.
    {"ReadOnlyIgnoreKeeps", Existing::Plain, Stamp::Equal, true, rmNormal, 0, 0, 0, 0, {IDIGNORE},
     {Asked::ReadOnly}, false},
    {"ReadOnlyRetryClearsTheAttributeAndReplaces", Existing::Plain, Stamp::Equal, true, rmNormal, 0, 0, 0, 0,
     {IDRETRY}, {Asked::ReadOnly}, true},
    {"ReadOnlyRetryAsksEverythingAgain", Existing::Version2034, Stamp::Equal, true, rmNormal, ffAskOverwrite,
     kVersioned, 0x00010000, 0, {IDNO, IDYES, IDRETRY, IDNO, IDYES},
     {Asked::NewerVersion, Asked::Overwrite, Asked::ReadOnly, Asked::NewerVersion, Asked::Overwrite}, true},
    {"ReadOnlyAnyOtherAnswerGoesOnAndTheDeletionFails", Existing::Plain, Stamp::Equal, true, rmNormal, 0, 0, 0, 0,
     {IDOK, IDIGNORE}, {Asked::ReadOnly, Asked::DeleteFailed}, false},
    // Row 8.
    {"OtherwiseReplaces", Existing::Plain, Stamp::Later, false, rmNormal, 0, 0, 0, 0, {}, {}, true},
};

void PrintTo(const DecisionCase& c, std::ostream* out) { *out << c.name; }

class DecisionTable : public testing::TestWithParam<DecisionCase> {};

std::vector<std::uint8_t> ExistingContents(Existing existing) {
    switch (existing) {
    case Existing::Plain: return test::Bytes("the file that was there");
    case Existing::Version2034: return test::ReadFileBytes(test::BuiltFile("qvtest_version_2_0_3_4.dll"));
    case Existing::TopBits: return test::ReadFileBytes(test::BuiltFile("qvtest_version_top_bits.dll"));
    }
    return {};
}

FILETIME ExistingTime(Stamp stamp) {
    constexpr std::uint64_t kOneHour = 36000000000ull;
    std::uint64_t local = test::BenchFileTime();
    if (stamp == Stamp::Later) local += kOneHour;
    if (stamp == Stamp::Earlier) local -= kOneHour;
    return test::UtcOfLocal(local);
}

void ExpectQuestion(const MsgBoxQuestion& question, Asked asked, const std::string& dest) {
    switch (asked) {
    case Asked::NewerVersion:
        EXPECT_EQ(question.Text,
                  "系统已存在一个比设置程序将要安装的文件版本更新的文件，建议保留已存在的文件。\r\n\r\n是否保留已存在的文件？");
        EXPECT_EQ(question.Caption, dest);
        EXPECT_EQ(question.Kind, mbtError);
        EXPECT_EQ(question.Flags, UINT{MB_YESNO | MB_ICONEXCLAMATION});
        break;
    case Asked::Overwrite:
        EXPECT_EQ(question.Text, dest + "\r\n文件已经存在 \r\n\r\n是否覆盖此文件？");
        EXPECT_EQ(question.Caption, "Confirm");
        EXPECT_EQ(question.Kind, mbtConfirmation);
        EXPECT_EQ(question.Flags, UINT{MB_YESNO | MB_ICONQUESTION});
        break;
    case Asked::ReadOnly:
        EXPECT_EQ(question.Text,
                  "文件属性为只读。\r\n\r\n按<重试>删除只读属性后再试，<忽略>跳过此文件，或按<取消>取消安装。");
        EXPECT_EQ(question.Caption, dest);
        EXPECT_EQ(question.Kind, mbtError);
        EXPECT_EQ(question.Flags, UINT{MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONEXCLAMATION});
        break;
    case Asked::DeleteFailed:
        EXPECT_EQ(question.Text,
                  "错误：试图删除文件时出错。\r\n\r\nFile access denied\r\n\n\n"
                  "按<重试>再试，<忽略>跳过此文件(不推荐)，或按<取消>取消安装。");
        EXPECT_EQ(question.Caption, dest);
        EXPECT_EQ(question.Flags, UINT{MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONEXCLAMATION});
        break;
    }
}

TEST_P(DecisionTable, DecidesAndAsksAsTheRulesSay) {
    const DecisionCase& c = GetParam();
    test::BenchFile file = test::MakeBenchFile("target.dll", test::Bytes("the new contents"));
    file.Record.ReplaceMode = c.replaceMode;
    file.Record.FileFlags = c.fileFlags;
    file.Record.VersionFlags = c.versionFlags;
    file.Record.FileVersionMS = c.ourMS;
    file.Record.FileVersionLS = c.ourLS;
    InstallBench bench({file});
    const std::string dest = bench.AppFile("target.dll");
    const std::vector<std::uint8_t> before = ExistingContents(c.existing);
    test::WriteFileBytes(dest, before);
    test::SetLastWriteTime(dest, ExistingTime(c.stamp));
    if (c.readOnly) SetFileAttributesW(Widen(dest).c_str(), FILE_ATTRIBUTE_READONLY);

    {
        AnsweredBoxes boxes(c.answers);
        bench.Install();
        ASSERT_EQ(boxes.asked.size(), c.asked.size());
        for (std::size_t i = 0; i < c.asked.size(); ++i) ExpectQuestion(boxes.asked[i], c.asked[i], dest);
    }
    SetFileAttributesW(Widen(dest).c_str(), FILE_ATTRIBUTE_NORMAL);

    if (c.replaced) {
        EXPECT_EQ(test::ReadFileBytes(dest), file.Contents);
        EXPECT_EQ(test::AsNumber(test::LastWriteTime(dest)), test::AsNumber(test::UtcOfLocal(file.Record.FileTime)));
        ASSERT_EQ(bench.undo.Entries().size(), 1u);
        const TChangeEntry& entry = bench.undo.Entries()[0];
        EXPECT_EQ(entry.Kind, ekFile);
        EXPECT_EQ(EntryString(entry, 0), dest);
        EXPECT_EQ(EntryString(entry, 1), "");
        EXPECT_EQ(entry.Flags, std::uint32_t{efWasPresent});
    } else {
        EXPECT_EQ(test::ReadFileBytes(dest), before);
        EXPECT_TRUE(bench.undo.Empty());
    }
    // Kept or replaced, the file counts in full, once.
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
    EXPECT_TRUE(bench.TempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DecisionTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DecisionCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv
