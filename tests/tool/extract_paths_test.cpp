// Where extraction puts files, and the paths it refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/io/streams.h"
#include "tool/extract_paths.h"
#include "tool/held_folder.h"
#include "tool/platform.h"
#ifdef _WIN32
#include "testkit/folder_link.h"
#endif
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

// A folder at `link` that leads to `target`: a junction, or what the
// system makes instead (folder_link.h), on Windows; a symbolic link here.
bool MakeFolderLinkAt(const std::filesystem::path& link, const std::filesystem::path& target) {
#ifdef _WIN32
    return MakeFolderLink(tool::PathToUtf8(link), tool::PathToUtf8(target));
#else
    std::error_code error;
    std::filesystem::create_directory_symlink(target, link, error);
    return !error;
#endif
}

// A link in the output folder, made by whoever may write there, would have
// the files written wherever it leads: a folder link on the way, or a link
// where a file goes.
TEST(ExtractPaths, ExtractFollowsNoLinkInTheOutputFolder) {
    namespace fs = std::filesystem;
    Workspace w;
    w.AddScript("inside.toml");
    w.WriteText("inside.txt", "inside");
    w.WriteText("victim.txt", "victim");
    ASSERT_EQ(RunQvsetup({"build", w.Arg("inside.toml"), "-o", w.Arg("out")}).Status, 0);
    w.WriteText("elsewhere/kept.txt", "kept");  // not empty: Wine removes an empty folder through its link
    fs::create_directories(w.Path("x"));
    ASSERT_TRUE(MakeFolderLinkAt(w.Path("x/app"), w.Path("elsewhere")));

    ToolRun run = RunQvsetup({"extract", w.Arg("out"), "-d", w.Arg("x")});
#ifdef _WIN32
    RemoveFolderLink(w.Arg("x/app"));
#else
    fs::remove(w.Path("x/app"));
#endif
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("would be written through the link"), std::string::npos) << run.Err;
    EXPECT_FALSE(w.Exists("elsewhere/inside.txt"));

    fs::create_directories(w.Path("x/app"));
    std::error_code error;
    fs::create_symlink(w.Path("victim.txt"), w.Path("x/app/inside.txt"), error);
    if (error) GTEST_SKIP() << "this system makes no file links here: " << error.message();
    run = RunQvsetup({"extract", w.Arg("out"), "-d", w.Arg("x")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("would replace the link"), std::string::npos) << run.Err;
    EXPECT_EQ(w.Read("victim.txt"), Bytes({'v', 'i', 'c', 't', 'i', 'm'}));
}


// Between the check of a folder on the way and the creation of a file in
// it, the folder can be swapped for a link to anywhere. Held, the folder
// that was checked is the one written into, whatever its name leads to by
// then; where the system lets the swap happen at all.
TEST(ExtractPaths, AFolderSwappedForALinkAfterItsCheckLeadsNoOutputAway) {
    namespace fs = std::filesystem;
    Workspace w;
    w.WriteText("elsewhere/kept.txt", "kept");
    tool::HeldFolder app;
    const tool::HeldFolder root = tool::HeldFolder::OpenRoot(w.Path("x"));
    ASSERT_EQ(root.OpenSub("app", app), tool::PathKind::Folder);

    std::error_code error;
    fs::rename(w.Path("x/app"), w.Path("x/moved"), error);
#ifdef _WIN32
    // Windows refuses to rename a folder held without delete sharing; Wine
    // does not enforce that sharing for folders.
    if (!error) {
        fs::rename(w.Path("x/moved"), w.Path("x/app"));
        GTEST_SKIP() << "this system lets a folder held without delete sharing be renamed";
    }
#endif
    if (error) {
        // Windows: the held folder can be neither renamed nor replaced.
        EXPECT_TRUE(fs::is_directory(w.Path("x/app")));
    } else {
        ASSERT_TRUE(MakeFolderLinkAt(w.Path("x/app"), w.Path("elsewhere")));
        EXPECT_EQ(root.KindOf("app"), tool::PathKind::Link);
    }
    const auto file = app.CreateNew("inside.txt");
    file->Write("new", 3);
    file->Close();
    app.MoveReplacing("inside.txt", "placed.txt");
    EXPECT_FALSE(w.Exists("elsewhere/inside.txt"));
    EXPECT_FALSE(w.Exists("elsewhere/placed.txt"));
    EXPECT_TRUE(w.Exists(error ? "x/app/placed.txt" : "x/moved/placed.txt"));

    // A link found where a folder goes is reported, and nothing is made through it.
    tool::HeldFolder through;
    if (!error) {
        EXPECT_EQ(root.OpenSub("app", through), tool::PathKind::Link);
    }
#ifndef _WIN32
    fs::remove(w.Path("x/app"));
#endif
}

}  // namespace
}  // namespace qv::test
