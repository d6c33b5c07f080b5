// Building on several threads, files too large to hold whole, and scripts
// too large for the uninstall log, through the real program.
#include <gtest/gtest.h>

#include <string>

#include "workspace.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

ToolRun MustRun(const std::vector<std::string>& args) {
    ToolRun run = RunQvsetup(args);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return run;
}

// A script over files named f0.bin ... f<n-1>.bin, written by the caller.
std::string FilesScript(int count) {
    std::string script = "[setup]\napp_name = \"Parallel\"\nuninstaller = false\n";
    for (int i = 0; i < count; ++i)
        script += "\n[[file]]\nsource = \"f" + std::to_string(i) + ".bin\"\ndest = \"{app}\\\\f" + std::to_string(i) +
                  ".bin\"\n";
    return script;
}

std::vector<std::string> OutputFiles(const Workspace& w, const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(w.Path(folder))) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ParallelBuild, OneTwoAndEightThreadsWriteTheSameBytes) {
    Workspace w;
    constexpr int kFiles = 24;
    w.WriteText("many.toml", FilesScript(kFiles));
    for (int i = 0; i < kFiles; ++i)
        w.Write("f" + std::to_string(i) + ".bin", MixedBytes(1000 + 9000 * (i % 7), static_cast<std::uint32_t>(i % 20)));
    // Data files of 40 KB: streams cross from one to the next.
    for (const char* jobs : {"1", "2", "8"})
        MustRun({"build", w.Arg("many.toml"), "-o", w.Arg(std::string("out") + jobs), "--jobs", jobs, "--disk-size", "40000"});
    const std::vector<std::string> names = OutputFiles(w, "out1");
    EXPECT_GT(names.size(), 3u);
    EXPECT_EQ(OutputFiles(w, "out2"), names);
    EXPECT_EQ(OutputFiles(w, "out8"), names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(w.Read("out2/" + name), w.Read("out1/" + name));
        EXPECT_EQ(w.Read("out8/" + name), w.Read("out1/" + name));
    }
    MustRun({"verify", w.Arg("out8")});
    MustRun({"extract", w.Arg("out8"), "-d", w.Arg("x")});
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(w.Read("x/app/f" + std::to_string(i) + ".bin"), w.Read("f" + std::to_string(i) + ".bin")) << i;
}

TEST(ParallelBuild, AFileAboveTheWholeFileLimitStreamsAndRoundTrips) {
    Workspace w;
    w.WriteText("large.toml", FilesScript(3));
    w.Write("f0.bin", MixedBytes(5000, 1));
    w.Write("f1.bin", MixedBytes((33u << 20) + 17, 2));  // past 32 MiB
    w.Write("f2.bin", MixedBytes(7000, 3));
    MustRun({"build", w.Arg("large.toml"), "-o", w.Arg("out"), "--level", "1"});
    MustRun({"verify", w.Arg("out")});
    MustRun({"extract", w.Arg("out"), "-d", w.Arg("x")});
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(w.Read("x/app/f" + std::to_string(i) + ".bin") == w.Read("f" + std::to_string(i) + ".bin")) << i;
}

TEST(UninstallLogBound, ABuildThatCouldRecordMoreThan65535EntriesIsRefused) {
    Workspace w;
    // 3437 folder records of 19 new levels each: with {app} and {group}
    // counted at 122 levels each, the uninstall icon, the log's placeholder
    // and the uninstall key, 65550 entries.
    std::string script = "[setup]\napp_name = \"Deep\"\nuninstallable = true\nuninstaller = false\n";
    std::string levels;
    for (int i = 0; i < 18; ++i) levels += "\\\\a";
    for (int i = 1000; i < 1000 + 3437; ++i) script += "\n[[dir]]\nname = \"{app}\\\\" + std::to_string(i) + levels + "\"\n";
    w.WriteText("deep.toml", script);
    const ToolRun refused = RunQvsetup({"build", w.Arg("deep.toml"), "-o", w.Arg("out")});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("deep.toml: an installation of this script can record up to 65550 entries in its "
                               "uninstall log (65547 for folders"),
              std::string::npos)
        << refused.Err;
    EXPECT_NE(refused.Err.find("holds at most 65535"), std::string::npos) << refused.Err;
    EXPECT_FALSE(w.Exists("out"));

    // One folder record fewer fits.
    script.erase(script.rfind("\n[[dir]]"));
    w.WriteText("deep.toml", script);
    MustRun({"build", w.Arg("deep.toml"), "-o", w.Arg("out")});
}

}  // namespace
}  // namespace qv::test
