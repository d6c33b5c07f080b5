// A [[run]] program given by a bare name, as "regsvr32.exe": Setup.exe
// often starts from a Downloads folder, which is also its current folder,
// and a program of that name planted there would run with its rights.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/uninstall/undo_guard_rules.h"
#include "engine/common/folders.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/setup/run_program.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

TEST(RunProgram, ABareNameIsTheSystemsProgramNeverOnePlantedBesideSetupOrInTheCurrentFolder) {
    const test::ScratchFolder downloads("qv run downloads");
    const std::string marker = test::ProgramFolder() + "\\run_marker.exe";
    const std::string besideSetup = test::ProgramFolder() + "\\qvn-planted.exe";
    ASSERT_TRUE(CopyFileW(Widen(marker).c_str(), Widen(downloads.file("qvn-planted.exe")).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Widen(marker).c_str(), Widen(besideSetup).c_str(), FALSE));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(Widen(downloads.path()).c_str()));

    EXPECT_EQ(ProgramByFullPath("qvn-planted.exe"), "");
    EXPECT_EQ(ComparablePath(ProgramByFullPath("cmd.exe")), ComparablePath(SystemFolder() + "\\cmd.exe"));
    EXPECT_EQ(ComparablePath(ProgramByFullPath("cmd")), ComparablePath(SystemFolder() + "\\cmd.exe"));
    EXPECT_EQ(ProgramByFullPath(marker), marker);
    // Not found is said as Windows says it, and nothing runs.
    const std::string out = downloads.file("out.txt");
    test::ScriptedBoxes boxes;
    RunProgram("qvn-planted.exe", "\"" + out + "\"", true);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_NE(boxes.asked[0].Text.find("不能运行文件"), std::string::npos) << boxes.asked[0].Text;
    EXPECT_FALSE(FileExists(out));

    SetCurrentDirectoryW(current);
    DeleteFileW(Widen(besideSetup).c_str());
}

}  // namespace
}  // namespace qv
