// Every kind of script mistake: exit status 1, a message that names the
// script, the line, the entry and the key, and nothing written.
#include <gtest/gtest.h>

#include "pe_images.h"
#include "workspace.h"

namespace qv::test {
namespace {

struct ScriptMistake {
    const char* Script;                   // in tests/tool/scripts/errors
    std::vector<std::string> Expected;    // each must appear in the message
};

const ScriptMistake kMistakes[] = {
    {"syntax.toml", {"syntax.toml:2:"}},
    {"unknown_key.toml", {"unknown_key.toml:6: [[file]] #1: unknown key 'destination' (known keys: source, dest,"}},
    {"unknown_table.toml", {"unknown_table.toml:4: unknown table 'files' (known: setup, dir, file,"}},
    {"wrong_type.toml", {"wrong_type.toml:3: [setup]: 'uninstallable' must be a boolean (true or false), not a string"}},
    {"not_array.toml", {"not_array.toml:4: 'file' must be an array of tables ([[file]]), not a table"}},
    {"missing_key.toml", {"missing_key.toml:4: [[file]] #1: 'dest' is missing"}},
    {"missing_setup.toml", {"missing_setup.toml:1: the table [setup] is missing"}},
    {"too_long.toml", {"too_long.toml:7: [[file]] #1: 'dest' is 64 bytes in code page 936, at most 63 allowed"}},
    {"too_long_char_array.toml", {"too_long_char_array.toml:6: [[registry]] #1: 'key' is 129 bytes in code page 936, at most 128 allowed"}},
    {"not_cp936.toml", {"not_cp936.toml:2: [setup]: 'app_name' holds '한' (U+D55C), which code page 936 cannot hold"}},
    {"bad_choice.toml", {"bad_choice.toml:7: [[file]] #1: 'replace' is \"sometimes\", but must be \"normal\", \"only-if-missing\", \"always\" or \"keep-newer\""}},
    {"missing_source.toml", {"missing_source.toml:5: [[file]] #1: 'source' names '", "no-such-file.txt', which does not exist"}},
    {"bad_version.toml", {"bad_version.toml:7: [[file]] #1: 'version' must be \"a.b.c.d\""}},
    {"bad_time.toml", {"bad_time.toml:7: [[file]] #1: 'time' must be a local date-time"}},
    {"bad_color.toml", {"bad_color.toml:3: [setup]: 'background_color' must be \"#RRGGBB\" or a system colour"}},
    {"bad_min_version.toml", {"bad_min_version.toml:3: [setup]: 'min_nt' must be a version such as \"4.0\""}},
    {"registry_value_for_none.toml", {"registry_value_for_none.toml:7: [[registry]] #1: 'value' has no meaning for type \"none\""}},
    {"registry_value_missing.toml", {"registry_value_missing.toml:4: [[registry]] #1: 'value' is missing (type \"dword\" needs one)"}},
    {"registry_binary_too_long.toml", {"registry_binary_too_long.toml:9: [[registry]] #1: 'value' is 253 bytes, at most 252 allowed"}},
    {"out_of_range.toml", {"out_of_range.toml:7: [[icon]] #1: 'icon_index' is 4294967296, outside -2147483648 to 2147483647"}},
    {"missing_text_file.toml", {"missing_text_file.toml:3: [setup]: 'license_file' names '", "no-licence.txt', which cannot be read: File not found"}},
    {"text_file_not_cp936.toml", {"text_file_not_cp936.toml:3: [setup]: 'info_before_file' names '", "korean.txt', which holds '한' (U+D55C) on line 2, which code page 936 cannot hold"}},
    {"empty_values.toml", {"empty_values.toml:2: [setup]: 'app_name' must not be empty",
                           "empty_values.toml:5: [[file]] #1: 'source' must not be empty"}},
    {"disk_size_too_small.toml", {"disk_size_too_small.toml:3: [setup]: 'disk_size' is 16, outside 17 to 2147483647"}},
    // The script's uninstaller is checked before --uninstaller would be looked at.
    {"uninstaller_missing.toml", {"uninstaller_missing.toml:3: [setup]: 'uninstaller' names '", "no-such-uninstaller.exe', which does not exist"}},
    {"uninstaller_unversioned.toml", {"uninstaller_unversioned.toml:3: [setup]: 'uninstaller' names '",
                                      "a.txt', which has no version resource (an uninstaller without a version could replace a newer one on the machine)"}},
    {"uninstaller_true.toml", {"uninstaller_true.toml:3: [setup]: 'uninstaller' is true, but must be the path of the uninstaller to carry (UNISTB32.EXE or UNISTB64.EXE), or false to carry none"}},
    {"uninstaller_wrong_type.toml", {"uninstaller_wrong_type.toml:3: [setup]: 'uninstaller' must be a path (a string) or false, not an integer"}},
};

// Every script here is uninstallable; a good uninstaller on the command
// line keeps the search for one out of their messages.
ToolRun BuildWithUninstaller(const Workspace& w, const std::string& script) {
    w.Write("UNISTB32.EXE", MakeVersionedImage(false, 0x00010000, 0));
    return RunQvsetup({"build", w.Arg(script), "-o", w.Arg("out"), "--uninstaller", w.Arg("UNISTB32.EXE")});
}

TEST(ScriptErrors, EachMistakeIsNamedWithItsPlaceAndNothingIsWritten) {
    for (const auto& mistake : kMistakes) {
        SCOPED_TRACE(mistake.Script);
        Workspace w;
        w.AddScript(std::string("errors/") + mistake.Script);
        w.WriteText("a.txt", "a");
        w.WriteText("korean.txt", "第一行\n第二行 한\n");
        const ToolRun run = BuildWithUninstaller(w, mistake.Script);
        EXPECT_EQ(run.Status, 1);
        for (const auto& expected : mistake.Expected) EXPECT_NE(run.Err.find(expected), std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("nothing was written"), std::string::npos) << run.Err;
        EXPECT_FALSE(w.Exists("out"));
    }
}

TEST(ScriptErrors, AllMistakesOfOneScriptAreListedInLineOrder) {
    Workspace w;
    w.AddScript("errors/several.toml");
    const ToolRun run = BuildWithUninstaller(w, "several.toml");
    EXPECT_EQ(run.Status, 1);
    const auto first = run.Err.find("several.toml:3: [setup]: 'restart_after' must be a boolean");
    const auto second = run.Err.find("several.toml:6: [[dir]] #1: 'name' is 54 bytes in code page 936, at most 47 allowed");
    const auto third = run.Err.find("several.toml:8: [[run]] #1: 'program' is missing");
    EXPECT_NE(first, std::string::npos) << run.Err;
    EXPECT_NE(second, std::string::npos) << run.Err;
    EXPECT_NE(third, std::string::npos) << run.Err;
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(run.Err.find("3 errors in the script"), std::string::npos) << run.Err;
}

}  // namespace
}  // namespace qv::test
