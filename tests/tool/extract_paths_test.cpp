// Where extraction puts files, and the paths it refuses.
#include <gtest/gtest.h>

#include "tool/extract_paths.h"
#include "workspace.h"

namespace qv::test {
namespace {

using tool::MapDestination;

TEST(ExtractPaths, DirectoryConstantsBecomeFolderNames) {
    EXPECT_EQ(MapDestination("{app}\\bin\\x.dll").Parts, (std::vector<std::string>{"app", "bin", "x.dll"}));
    EXPECT_EQ(MapDestination("{commonprograms}\\组\\a.lnk").Parts,
              (std::vector<std::string>{"commonprograms", "组", "a.lnk"}));
    EXPECT_EQ(MapDestination("{sys}\\\\x").Parts, (std::vector<std::string>{"sys", "x"}));  // a doubled backslash
    // Names that are no constant stay as they stand ({APP} is not {app}).
    EXPECT_EQ(MapDestination("{APP}\\{x}.txt").Parts, (std::vector<std::string>{"{APP}", "{x}.txt"}));
    EXPECT_EQ(MapDestination("{app}\\name.with.dots").Parts, (std::vector<std::string>{"app", "name.with.dots"}));
}

TEST(ExtractPaths, PathsThatWouldLeaveTheFolderAreRefused) {
    const struct {
        const char* Path;
        const char* Reason;
    } refused[] = {
        {"{app}\\..\\..\\x", "'..'"},
        {"..\\x", "'..'"},
        {"{app}\\. .\\x", "'. .'"},  // Windows drops trailing dots and blanks
        {"{app}\\...", "'...'"},
        {"\\windows\\x", "absolute"},
        {"/etc/passwd", "absolute"},
        {"C:\\x", "drive letter"},
        {"{app}\\a:stream", "drive letter"},
        {"{app}\\CON.txt", "device"},
        {"{app}\\lpt1", "device"},
        {"{app}\\a\x01b", "control character"},
        {"", "empty"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.Path);
        const auto mapped = MapDestination(r.Path);
        EXPECT_NE(mapped.Refusal.find(r.Reason), std::string::npos) << mapped.Refusal;
    }
    EXPECT_TRUE(MapDestination("{app}\\console.txt").Refusal.empty());
    EXPECT_TRUE(MapDestination("{app}\\com10").Refusal.empty());
}

TEST(ExtractPaths, ExtractRefusesAnEscapingPathBeforeWritingAnything) {
    Workspace w;
    w.AddScript("escape.toml");
    w.WriteText("inside.txt", "inside");
    ASSERT_EQ(RunQvsetup({"build", w.Arg("escape.toml"), "-o", w.Arg("out")}).Status, 0);
    const ToolRun run = RunQvsetup({"extract", w.Arg("out"), "-d", w.Arg("x/y")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("refused: file #2 ({app}\\..\\..\\escaped.txt): the path \"{app}\\..\\..\\escaped.txt\" would land outside"),
              std::string::npos) << run.Err;
    EXPECT_FALSE(w.Exists("x"));
    EXPECT_FALSE(w.Exists("escaped.txt"));
}

}  // namespace
}  // namespace qv::test
