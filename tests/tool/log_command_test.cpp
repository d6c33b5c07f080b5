// `qvsetup log` over uninstall logs written by the core's writer: every
// kind, its flags or root key, Chinese texts, a cut entry and an unknown
// kind, as text and as JSON; damaged logs end with status 2 and name the
// damage and its offset.
#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/setupdata/records.h"
#include "core/uninstall/uninstall_log.h"
#include "workspace.h"

namespace qv::test {
namespace {

constexpr TChangeKind kUnknownKind = static_cast<TChangeKind>(12);

// More strings than its kind carries: the reader keeps them, the uninstaller ignores them.
TChangeEntry WithAnUnusedString() {
    TChangeEntry entry;
    entry.Kind = ekFolder;
    entry.StringData = JoinEntryStrings({"C:\\一", "C:\\二"});
    return entry;
}

std::vector<TChangeEntry> EveryKind() {
    return {
        TChangeEntry::Make(ekFolder, {"C:\\程序\\你好"}, efFolderNotify),
        TChangeEntry::Make(ekFile, {"C:\\程序\\你好\\你好.exe", ""}, efWasPresent | efSelfUnregister),
        TChangeEntry::Make(ekFile, {"C:\\WINDOWS\\共享.dll", "C:\\WINDOWS\\_新版.tmp"}, efSharedCount | 0x40),
        TChangeEntry::Make(ekFile, {"C:\\程序\\你好\\UNINST0.000", ""}, 0),
        TChangeEntry::Make(ekProgManItem, {"你好", ""}, 0),
        TChangeEntry::Make(ekIniKey, {"", "设置", "路径"}, 0),
        TChangeEntry::Make(ekIniSection, {"C:\\WINDOWS\\你好.INI", "选项"}, 0),
        TChangeEntry::Make(ekRegKeyTree, {"Software\\你好"}, kHkeyLocalMachine),
        TChangeEntry::Make(ekRegDefaultValue, {"Software\\你好\\默认"}, kHkeyCurrentUser),
        TChangeEntry::Make(ekRegKeyIfEmpty, {".你好"}, kHkeyClassesRoot),
        TChangeEntry::Make(ekRegValue, {".DEFAULT\\你好", "版本"}, kHkeyUsers),
        TChangeEntry::Make(ekRegValue, {"System\\你好", ""}, kHkeyCurrentConfig),
        TChangeEntry::Make(ekRegKeyTree, {"Software\\错"}, 0x80000009),
        TChangeEntry::Make(kUnknownKind, {"附加", ""}, 3),
        WithAnUnusedString(),
    };
}

// Where each entry begins in the file the writer makes of `entries`.
std::vector<std::uint64_t> EntryOffsets(const std::vector<TChangeEntry>& entries) {
    std::vector<std::uint64_t> offsets;
    std::uint64_t offset = TChangeFileHeader::kSize;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        offsets.push_back(offset);
        offset += TChangeEntry::kFixedSize + FileStringData(entries[i], i + 1).size();
    }
    return offsets;
}

// qvsetup run with its output's lines ending in "\n" (on Windows the console
// streams end them in "\r\n").
ToolRun RunQvsetupLines(const std::vector<std::string>& args) {
    ToolRun run = RunQvsetup(args);
    for (std::string* text : {&run.Out, &run.Err})
        for (std::size_t at = text->find("\r\n"); at != std::string::npos; at = text->find("\r\n", at))
            text->erase(at, 1);
    return run;
}

class LogCommand : public ::testing::Test {
protected:
    // Writes the log into a folder with a Chinese name, as an application folder may have.
    std::string WriteLog(const Bytes& bytes) {
        w.Write(kLog, bytes);
        return w.Arg(kLog);
    }
    ToolRun ExpectDamage(const Bytes& bytes, const std::vector<std::string>& fragments) {
        const std::string path = WriteLog(bytes);
        const ToolRun run = RunQvsetupLines({"log", path});
        EXPECT_EQ(run.Status, 2) << run.Err;
        EXPECT_EQ(run.Out, "");
        EXPECT_NE(run.Err.find("qvsetup: damaged: " + path + ": uninstall log damaged at offset "),
                  std::string::npos) << run.Err;
        for (const auto& fragment : fragments) EXPECT_NE(run.Err.find(fragment), std::string::npos) << run.Err;
        return run;
    }

    static constexpr const char* kLog = "你好软件/UNINST1.000";
    Workspace w;
};

TEST_F(LogCommand, EveryKindAsText) {
    const auto entries = EveryKind();
    const Bytes bytes = EncodeUninstallLog("你好软件", true, entries);
    const std::string path = WriteLog(bytes);
    const auto at = EntryOffsets(entries);
    const auto entry = [&](std::size_t number, const std::string& rest) {
        return "  #" + std::to_string(number) + " at " + std::to_string(at[number - 1]) + ": " + rest + "\n";
    };
    const std::string expected =
        "uninstall_log: " + path + " (" + std::to_string(bytes.size()) + " bytes)\n"
        "app_name: 你好软件\n"
        "admin_install: true\n"
        "entries (15):\n" +
        entry(1, "ekFolder efFolderNotify") + "    folder: C:\\程序\\你好\n" +
        entry(2, "ekFile efWasPresent efSelfUnregister") +
        "    file: C:\\程序\\你好\\你好.exe\n"
        "    pending file:\n" +
        entry(3, "ekFile efSharedCount 0x00000040") +
        "    file: C:\\WINDOWS\\共享.dll\n"
        "    pending file: C:\\WINDOWS\\_新版.tmp\n" +
        entry(4, "ekFile") +
        "    file: C:\\程序\\你好\\UNINST0.000\n"
        "    pending file:\n" +
        entry(5, "ekProgManItem") +
        "    group: 你好\n"
        "    item:\n" +
        entry(6, "ekIniKey") +
        "    INI file:\n"
        "    section: 设置\n"
        "    key: 路径\n" +
        entry(7, "ekIniSection") +
        "    INI file: C:\\WINDOWS\\你好.INI\n"
        "    section: 选项\n" +
        entry(8, "ekRegKeyTree HKEY_LOCAL_MACHINE") + "    subkey: Software\\你好\n" +
        entry(9, "ekRegDefaultValue HKEY_CURRENT_USER") + "    subkey: Software\\你好\\默认\n" +
        entry(10, "ekRegKeyIfEmpty HKEY_CLASSES_ROOT") + "    subkey: .你好\n" +
        entry(11, "ekRegValue HKEY_USERS") +
        "    subkey: .DEFAULT\\你好\n"
        "    value name: 版本\n" +
        entry(12, "ekRegValue HKEY_CURRENT_CONFIG") +
        "    subkey: System\\你好\n"
        "    value name:\n" +
        entry(13, "ekRegKeyTree 0x80000009") + "    subkey: Software\\错\n" +
        entry(14, "kind 12 0x00000003 (a kind this system does not know: the uninstaller skips it)") +
        "    string: 附加\n"
        "    string:\n" +
        entry(15, "ekFolder") +
        "    folder: C:\\一\n"
        "    unused: C:\\二\n";
    const ToolRun run = RunQvsetupLines({"log", path});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, expected);
    EXPECT_EQ(run.Err, "");
}

TEST_F(LogCommand, EveryKindAsJson) {
    const auto entries = EveryKind();
    const Bytes bytes = EncodeUninstallLog("你好软件", true, entries);
    const std::string path = WriteLog(bytes);
    const auto at = EntryOffsets(entries);
    const ToolRun run = RunQvsetupLines({"log", path, "--json"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const nlohmann::json j = nlohmann::json::parse(run.Out);

    EXPECT_EQ(j["uninstall_log"], (nlohmann::json{{"path", path}, {"size", bytes.size()}}));
    EXPECT_EQ(j["header"], (nlohmann::json{{"app_name", "你好软件"}, {"admin_install", true}, {"entry_count", 15}}));
    const nlohmann::json& e = j["entries"];
    ASSERT_EQ(e.size(), 15u);
    EXPECT_EQ(e[0], (nlohmann::json{{"offset", at[0]},
                                    {"kind", "ekFolder"},
                                    {"flags", {"efFolderNotify"}},
                                    {"strings", {"C:\\程序\\你好"}},
                                    {"cut", false},
                                    {"raw", {{"kind", 0}, {"flags", "0x00000001"}}}}));
    EXPECT_EQ(e[1]["flags"], (nlohmann::json{"efWasPresent", "efSelfUnregister"}));
    EXPECT_EQ(e[1]["strings"], (nlohmann::json{"C:\\程序\\你好\\你好.exe", ""}));
    // A bit without a name is only in raw.
    EXPECT_EQ(e[2]["flags"], (nlohmann::json{"efSharedCount"}));
    EXPECT_EQ(e[2]["raw"]["flags"], "0x00000044");
    EXPECT_EQ(e[3]["flags"], nlohmann::json::array());
    EXPECT_EQ(e[5], (nlohmann::json{{"offset", at[5]},
                                    {"kind", "ekIniKey"},
                                    {"strings", {"", "设置", "路径"}},
                                    {"cut", false},
                                    {"raw", {{"kind", 3}, {"flags", "0x00000000"}}}}));
    EXPECT_EQ(e[10], (nlohmann::json{{"offset", at[10]},
                                     {"kind", "ekRegValue"},
                                     {"root", "HKEY_USERS"},
                                     {"strings", {".DEFAULT\\你好", "版本"}},
                                     {"cut", false},
                                     {"raw", {{"kind", 8}, {"flags", "0x80000003"}}}}));
    const char* roots[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS",
                           "HKEY_CURRENT_CONFIG"};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(e[7 + i]["root"], roots[i]) << i;
    EXPECT_TRUE(e[12]["root"].is_null());
    EXPECT_EQ(e[12]["raw"]["flags"], "0x80000009");
    EXPECT_EQ(e[13], (nlohmann::json{{"offset", at[13]},
                                     {"kind", nullptr},
                                     {"strings", {"附加", ""}},
                                     {"cut", false},
                                     {"raw", {{"kind", 12}, {"flags", "0x00000003"}}}}));
    EXPECT_EQ(e[14]["strings"], (nlohmann::json{"C:\\一", "C:\\二"}));
}

TEST_F(LogCommand, ACutEntryIsMarkedAndAnEmptyLogHasNone) {
    // 3 + 2 * 33000 bytes in code page 936: the file keeps 64985 of them,
    // the drive and 32491 whole characters, and no terminating zero.
    std::string longPath = "C:\\";
    for (int i = 0; i < 33000; ++i) longPath += "长";
    std::string kept = "C:\\";
    for (int i = 0; i < 32491; ++i) kept += "长";
    const std::vector<TChangeEntry> entries = {TChangeEntry::Make(ekFile, {longPath, ""}, efWasPresent),
                                               TChangeEntry::Make(ekFolder, {"C:\\之后"}, 0)};
    const std::string path = WriteLog(EncodeUninstallLog("", false, entries));

    const ToolRun text = RunQvsetupLines({"log", path});
    ASSERT_EQ(text.Status, 0) << text.Err;
    const std::string expected =
        "app_name: \n"
        "admin_install: false\n"
        "entries (2):\n"
        "  #1 at 78: ekFile efWasPresent (its strings were cut at 64985 bytes: an uninstaller must not act on it)\n"
        "    file: " + kept + "\n"
        "  #2 at " + std::to_string(78 + 15 + 64985) + ": ekFolder\n"
        "    folder: C:\\之后\n";
    const std::size_t headerEnd = text.Out.find('\n');
    ASSERT_NE(headerEnd, std::string::npos);
    EXPECT_TRUE(text.Out.substr(headerEnd + 1) == expected) << text.Out.substr(0, 400);

    const ToolRun json = RunQvsetupLines({"log", "--json", path});
    ASSERT_EQ(json.Status, 0) << json.Err;
    const nlohmann::json j = nlohmann::json::parse(json.Out);
    EXPECT_EQ(j["entries"][0]["cut"], true);
    EXPECT_TRUE(j["entries"][0]["strings"] == nlohmann::json{kept});
    EXPECT_EQ(j["entries"][1]["cut"], false);

    WriteLog(EncodeUninstallLog("你好", false, {}));
    const ToolRun empty = RunQvsetupLines({"log", path});
    EXPECT_EQ(empty.Status, 0) << empty.Err;
    EXPECT_EQ(empty.Out, "uninstall_log: " + path + " (78 bytes)\napp_name: 你好\nadmin_install: false\nentries (0)\n");
}

TEST_F(LogCommand, DamageIsNamedWithItsOffset) {
    const std::vector<TChangeEntry> entries = {TChangeEntry::Make(ekFolder, {"C:\\你好"}, 0),
                                               TChangeEntry::Make(ekIniSection, {"", "设置"}, 0),
                                               TChangeEntry::Make(ekFolder, {"C:\\再见"}, 0)};
    const Bytes good = EncodeUninstallLog("你好", false, entries);
    const auto at = EntryOffsets(entries);

    Bytes bytes = good;
    bytes[3] = 'X';
    ExpectDamage(bytes, {"at offset 0: the file does not begin with the signature \"u109-32\" 0x1A"});

    // The second entry, an ekIniSection, read as an ekIniKey lacks its key.
    bytes = good;
    bytes[at[1] + TChangeEntry::kKindOffset] = ekIniKey;
    ExpectDamage(bytes, {"at offset " + std::to_string(at[1]) + ", entry 2 of 3: ekIniKey needs 3 strings, its data holds 2"});

    // The file ends inside the data of the third entry.
    bytes = Bytes(good.begin(), good.end() - 2);
    ExpectDamage(bytes, {"at offset " + std::to_string(at[2]) + ", entry 3 of 3: DataLength ",
                         "reaches past the end of the file"});

    bytes = good;
    SetUi16(bytes.data() + TChangeFileHeader::kEntryCountOffset, 4);
    ExpectDamage(bytes, {"at offset " + std::to_string(good.size()) + ", entry 4 of 4: the file ends after 0 of its 15 fixed bytes"});

    bytes = good;
    bytes.push_back(0);
    ExpectDamage(bytes, {"at offset " + std::to_string(good.size()) + ": 1 bytes follow the last of its 3 entries"});
}

TEST_F(LogCommand, AMissingFileOrAFolderIsAnIoFailure) {
    const ToolRun missing = RunQvsetupLines({"log", w.Arg("无/UNINST1.000")});
    EXPECT_EQ(missing.Status, 3);
    EXPECT_EQ(missing.Err, "qvsetup: cannot open '" + w.Arg("无/UNINST1.000") + "': it does not exist\n");
    EXPECT_EQ(missing.Out, "");

    WriteLog(EncodeUninstallLog("你好", false, {}));
    const ToolRun folder = RunQvsetupLines({"log", w.Arg("你好软件")});
    EXPECT_EQ(folder.Status, 3);
    EXPECT_NE(folder.Err.find("it is a folder, not an uninstall log"), std::string::npos) << folder.Err;
}

}  // namespace
}  // namespace qv::test
