// The INI step on private INI files in a scratch folder and on WIN.INI: the
// bytes in the file, the undo entries and their rollback, the retry
// question, the pump after each entry.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/errors.h"
#include "core/text/cp936.h"
#include "engine/install/ini_entries.h"
#include "engine/common/ini_profile_cp936.h"
#include "install_bench.h"

namespace qv {
namespace {

using test::AnsweredBoxes;
using test::InstallBench;

TIniRec Ini(const std::string& file, const std::string& section, const std::string& entry, const std::string& value,
            std::uint8_t flags = 0) {
    TIniRec record;
    record.Filename = file;
    record.Section = section;
    record.Entry = entry;
    record.Value = value;
    record.Flags = flags;
    return record;
}

// What the ANSI functions read back, as the bytes they return.
std::string ReadIniBytes(const std::string& fileBytes, const std::string& sectionBytes, const std::string& keyBytes) {
    char buffer[512] = {};
    const char* file = fileBytes.empty() ? nullptr : fileBytes.c_str();
    if (file)
        GetPrivateProfileStringA(sectionBytes.c_str(), keyBytes.c_str(), "<missing>", buffer, sizeof buffer, file);
    else
        GetProfileStringA(sectionBytes.c_str(), keyBytes.c_str(), "<missing>", buffer, sizeof buffer);
    return buffer;
}

std::string ReadIni(const std::string& file, const std::string& section, const std::string& key) {
    return cp936::ToUtf8(ReadIniBytes(*cp936::FromUtf8(file), *cp936::FromUtf8(section), *cp936::FromUtf8(key)));
}

std::string FileText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void ExpectEntry(const TChangeEntry& entry, TChangeKind kind, const std::vector<std::string>& strings) {
    const TChangeEntry expected = TChangeEntry::Make(kind, strings, 0);
    EXPECT_EQ(entry.Kind, kind);
    EXPECT_EQ(entry.StringData, expected.StringData);
    EXPECT_EQ(entry.Flags, 0u);
}

// {app} in a folder whose name every ANSI code page holds, so that the
// ANSI functions of the test can open the files whatever the system's code
// page is.
struct IniBench : InstallBench {
    IniBench() : InstallBench({}) { run.Folders.App = asciiApp.path(); }
    std::string IniFile() const { return asciiApp.file("settings.ini"); }
    std::string App() const { return asciiApp.path(); }
    std::string AppFile(const std::string& name) const { return asciiApp.file(name); }
    test::ScratchFolder asciiApp{"qv ini app"};
};

TEST(IniEntries, ExpandedTextsFlagsUndoEntriesAndRollback) {
    IniBench bench;
    bench.data.IniRecords = {
        Ini("{app}\\settings.ini", "Paths", "Home", "{app}\\bin", ifUninstDeleteKey),
        Ini("{app}\\settings.ini", "Paths", "Kept", "stays", 0),
        Ini("{app}\\settings.ini", "Both", "Only", "1", ifUninstDeleteKey | ifUninstDeleteSection),
        Ini("{app}\\settings.ini", "Both", "Other", "2", 0),
        Ini("{app}\\settings.ini", "Whole", "A", "1", ifUninstDeleteSection),
        Ini("{app}\\settings.ini", "Whole", "B", "2", 0),
        Ini("{app}\\settings.ini", "Lone", "Key", "x", ifUninstDeleteKey),
    };
    bench.progress.SetPosition(500);
    WriteIniEntries(bench.context);

    const std::string file = bench.IniFile();
    EXPECT_EQ(ReadIni(file, "Paths", "Home"), bench.App() + "\\bin");
    EXPECT_EQ(ReadIni(file, "Paths", "Kept"), "stays");
    EXPECT_EQ(ReadIni(file, "Whole", "B"), "2");
    EXPECT_EQ(bench.progress.pumps, 7);
    EXPECT_EQ(bench.progress.Position(), 1500);

    const auto& entries = bench.undo.Entries();
    ASSERT_EQ(entries.size(), 4u);
    ExpectEntry(entries[0], ekIniKey, {file, "Paths", "Home"});
    ExpectEntry(entries[1], ekIniKey, {file, "Both", "Only"});  // the key wins over the section
    ExpectEntry(entries[2], ekIniSection, {file, "Whole"});
    ExpectEntry(entries[3], ekIniKey, {file, "Lone", "Key"});

    EXPECT_TRUE(bench.undo.UndoAll(false));
    EXPECT_EQ(ReadIni(file, "Paths", "Home"), "<missing>");
    EXPECT_EQ(ReadIni(file, "Paths", "Kept"), "stays");
    EXPECT_EQ(ReadIni(file, "Both", "Only"), "<missing>");
    EXPECT_EQ(ReadIni(file, "Both", "Other"), "2");
    EXPECT_EQ(ReadIni(file, "Whole", "B"), "<missing>");
    // A section left without keys goes with its last key.
    EXPECT_EQ(FileText(file).find("[Lone]"), std::string::npos) << FileText(file);
    EXPECT_NE(FileText(file).find("[Paths]"), std::string::npos);
}

TEST(IniEntries, ChineseTextsAreCodePage936InTheFile) {
    IniBench bench;
    bench.data.IniRecords = {Ini("{app}\\settings.ini", "设置", "路径", "{app}\\数据", ifUninstDeleteKey)};
    ASSERT_TRUE(IniTextsFitCp936("设置", "路径", bench.App() + "\\数据", bench.IniFile()));
    WriteIniEntries(bench.context);
    EXPECT_EQ(FileText(bench.IniFile()), *cp936::FromUtf8("[设置]\r\n路径=" + bench.App() + "\\数据\r\n"));
    EXPECT_EQ(ReadIni(bench.IniFile(), "设置", "路径"), bench.App() + "\\数据");
    // The rollback finds the Chinese key again and takes its section with it.
    bench.undo.UndoAll(false);
    EXPECT_EQ(FileText(bench.IniFile()).find(*cp936::FromUtf8("设置")), std::string::npos) << FileText(bench.IniFile());
}

TEST(IniEntries, TextsTheAnsiFunctionsWouldSpoilGoThroughTheWideOnes) {
    IniBench bench;
    // No code page 936 form: the wide functions still write the entry.
    EXPECT_FALSE(IniTextsFitCp936("S", "K", "\xF0\x9F\x98\x80", bench.IniFile()));
    EXPECT_TRUE(WriteIniValueCp936("S", "K", "\xF0\x9F\x98\x80", bench.IniFile()));
    EXPECT_NE(FileText(bench.IniFile()).find("[S]"), std::string::npos);
    // A Chinese file name opens another file through the ANSI functions
    // unless the system's code page is 936.
    const std::string chineseFile = bench.app.file("中文.ini");
    EXPECT_EQ(IniTextsFitCp936("S", "K", "V", chineseFile), GetACP() == 936);
    EXPECT_TRUE(WriteIniValueCp936("S", "K", "V", chineseFile));
    EXPECT_EQ(FileText(chineseFile), "[S]\r\nK=V\r\n");
}

TEST(IniEntries, AnEmptyFileNameWritesWinIni) {
    IniBench bench;
    const std::string section = "QV settings test " + std::to_string(GetCurrentProcessId());
    bench.data.IniRecords = {Ini("", section, "Folder", "{app}", ifUninstDeleteSection)};
    WriteIniEntries(bench.context);
    EXPECT_EQ(ReadIni("", section, "Folder"), bench.App());
    ASSERT_EQ(bench.undo.Entries().size(), 1u);
    ExpectEntry(bench.undo.Entries()[0], ekIniSection, {"", section});
    bench.undo.UndoAll(false);
    EXPECT_EQ(ReadIni("", section, "Folder"), "<missing>");
}

TEST(IniEntries, AFailingWriteAsksWithTheFileNameAndIgnoreStillRecords) {
    IniBench bench;
    bench.data.IniRecords = {Ini("{app}\\missing folder\\x.ini", "S", "K", "V", ifUninstDeleteKey),
                             Ini("{app}\\ok.ini", "S", "K", "V")};
    const std::string badFile = bench.App() + "\\missing folder\\x.ini";
    AnsweredBoxes boxes({IDRETRY, IDIGNORE});
    WriteIniEntries(bench.context);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].Text, "在 " + badFile +
                                       " INI文件创建项目出错，\r\n\r\n按<重试>重试，<忽略>跳过此项，或<取消>以取消安装。");
    EXPECT_EQ(boxes.asked[0].Kind, mbtError);
    EXPECT_EQ(boxes.asked[0].Flags & (MB_TYPEMASK | MB_DEFMASK), UINT(MB_ABORTRETRYIGNORE | MB_DEFBUTTON2));
    ASSERT_EQ(bench.undo.Entries().size(), 1u);
    ExpectEntry(bench.undo.Entries()[0], ekIniKey, {badFile, "S", "K"});
    EXPECT_EQ(ReadIni(bench.AppFile("ok.ini"), "S", "K"), "V");
    EXPECT_EQ(bench.progress.pumps, 2);
}

TEST(IniEntries, AbortCancelAndABadConstantStopTheStep) {
    {
        IniBench bench;
        bench.data.IniRecords = {Ini("{app}\\no\\x.ini", "S", "K", "V", ifUninstDeleteKey)};
        AnsweredBoxes boxes({IDABORT});
        EXPECT_THROW(WriteIniEntries(bench.context), EAbort);
        EXPECT_TRUE(bench.undo.Empty());
    }
    {
        IniBench bench;
        bench.data.IniRecords = {Ini("{app}\\a.ini", "S", "First", "1", ifUninstDeleteKey),
                                 Ini("{app}\\a.ini", "S", "Second", "2", ifUninstDeleteKey)};
        bench.progress.confirmCancelWhen = [] { return true; };
        EXPECT_THROW(WriteIniEntries(bench.context), EAbort);
        EXPECT_EQ(ReadIni(bench.AppFile("a.ini"), "S", "Second"), "<missing>");
        EXPECT_EQ(bench.undo.Entries().size(), 1u);  // the first entry, for the rollback
        EXPECT_EQ(bench.progress.Position(), 0);
    }
    {
        IniBench bench;
        bench.data.IniRecords = {Ini("{app}\\a.ini", "S", "K", "{group}")};
        AnsweredBoxes noQuestions;
        EXPECT_THROW(WriteIniEntries(bench.context), Exception);
        EXPECT_TRUE(noQuestions.asked.empty());
    }
}

}  // namespace
}  // namespace qv
