// The registry step in a private key below HKEY_CURRENT_USER: every value
// type read back with the registry functions, the undo entries the flags
// choose and their rollback, the retry question.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/install/registry_entries.h"
#include "install_bench.h"

namespace qv {
namespace {

using test::AnsweredBoxes;
using test::InstallBench;

const std::string kTestRoot = "Software\\QV Setup tests\\settings " + std::to_string(GetCurrentProcessId());

TRegistryRec Reg(const std::string& subKey, const std::string& name, std::uint8_t type, std::uint8_t flags = 0) {
    TRegistryRec record;
    record.RootKey = kHkeyCurrentUser;
    record.SubKey = subKey;
    record.ValueName = name;
    record.ValueType = type;
    record.Flags = flags;
    return record;
}

TRegistryRec RegString(const std::string& subKey, const std::string& name, const std::string& text,
                       std::uint8_t flags = 0, std::uint8_t type = rtString) {
    TRegistryRec record = Reg(subKey, name, type, flags);
    record.ValueString = text;
    return record;
}

struct RawValue {
    bool Present = false;
    DWORD Type = 0;
    std::vector<BYTE> Data;
};

UniqueHKey OpenUserKey(const std::string& subKey) {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(subKey).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

RawValue ReadValue(const std::string& subKey, const std::string& name) {
    RawValue value;
    const UniqueHKey key = OpenUserKey(subKey);
    if (!key) return value;
    const std::wstring wide = Widen(name);
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), wide.c_str(), nullptr, &value.Type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.Data.resize(size);
    value.Present = RegQueryValueExW(key.get(), wide.c_str(), nullptr, &value.Type, value.Data.data(), &size) ==
                    ERROR_SUCCESS;
    value.Data.resize(size);
    return value;
}

std::vector<BYTE> WideBytes(const std::string& text) {
    const std::wstring wide = Widen(text);
    const BYTE* p = reinterpret_cast<const BYTE*>(wide.c_str());
    return std::vector<BYTE>(p, p + (wide.size() + 1) * sizeof(wchar_t));
}

void ExpectEntry(const TChangeEntry& entry, TChangeKind kind, const std::vector<std::string>& strings) {
    EXPECT_EQ(entry.Kind, kind);
    EXPECT_EQ(entry.StringData, TChangeEntry::Make(kind, strings, 0).StringData);
    EXPECT_EQ(entry.Flags, kHkeyCurrentUser);
}

// The levels of `key` below `existing` (which ends in a backslash) up to
// its parent, outermost first: the keys an entry makes on its way.
std::vector<std::string> ParentsBelow(const std::string& existing, const std::string& key) {
    std::vector<std::string> parents;
    for (std::size_t slash = key.find('\\', existing.size()); slash != std::string::npos;
         slash = key.find('\\', slash + 1))
        parents.push_back(key.substr(0, slash));
    return parents;
}

struct RegistryBench : InstallBench {
    // The tests' root is there, empty: only the keys a test names below it
    // are made by the installation.
    RegistryBench() : InstallBench({}) {
        RegDeleteKeyTree(HKEY_CURRENT_USER, kTestRoot);
        UniqueHKey root;
        RegCreateKeyExW(HKEY_CURRENT_USER, Widen(kTestRoot).c_str(), 0, nullptr, 0, KEY_READ, nullptr, root.put(),
                        nullptr);
    }
    ~RegistryBench() { RegDeleteKeyTree(HKEY_CURRENT_USER, kTestRoot); }
    std::string Key(const std::string& name) const { return kTestRoot + "\\" + name; }
};

TEST(RegistryEntries, EveryTypeIsWrittenAsTheTableSays) {
    RegistryBench bench;
    TRegistryRec dword = Reg(bench.Key("Types"), "Number", rtDWord);
    dword.ValueDWord = 0x12345678;
    TRegistryRec binary = Reg(bench.Key("Types"), "Bytes", rtBinary);
    binary.ValueBinary = {1, 0, 0xFF, 7};
    TRegistryRec emptyBinary = Reg(bench.Key("Types"), "NoBytes", rtBinary);
    bench.data.RegistryRecords = {
        Reg(bench.Key("Only the key\\{app}"), "ignored", rtNone),
        RegString(bench.Key("Types"), "Path", "{app}\\程序.exe"),
        RegString(bench.Key("Types"), "Expand", "%SystemRoot%\\{app}", 0, rtExpandString),
        RegString(bench.Key("Types"), "", "默认值"),
        dword, binary, emptyBinary,
    };
    bench.progress.SetPosition(7);
    WriteRegistryEntries(bench.context);

    const std::string app = bench.app.path();
    const UniqueHKey onlyKey = OpenUserKey(bench.Key("Only the key\\" + app));
    ASSERT_TRUE(onlyKey);
    DWORD values = 99;
    RegQueryInfoKeyW(onlyKey.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(values, 0u);

    const RawValue path = ReadValue(bench.Key("Types"), "Path");
    EXPECT_EQ(path.Type, DWORD(REG_SZ));
    EXPECT_EQ(path.Data, WideBytes(app + "\\程序.exe"));  // the terminating zero counted
    const RawValue expand = ReadValue(bench.Key("Types"), "Expand");
    EXPECT_EQ(expand.Type, DWORD(REG_EXPAND_SZ));
    EXPECT_EQ(expand.Data, WideBytes("%SystemRoot%\\" + app));
    const RawValue byDefault = ReadValue(bench.Key("Types"), "");
    EXPECT_EQ(byDefault.Type, DWORD(REG_SZ));
    EXPECT_EQ(byDefault.Data, WideBytes("默认值"));
    const RawValue number = ReadValue(bench.Key("Types"), "Number");
    EXPECT_EQ(number.Type, DWORD(REG_DWORD));
    EXPECT_EQ(number.Data, (std::vector<BYTE>{0x78, 0x56, 0x34, 0x12}));
    const RawValue bytes = ReadValue(bench.Key("Types"), "Bytes");
    EXPECT_EQ(bytes.Type, DWORD(REG_BINARY));
    EXPECT_EQ(bytes.Data, (std::vector<BYTE>{1, 0, 0xFF, 7}));
    const RawValue noBytes = ReadValue(bench.Key("Types"), "NoBytes");
    EXPECT_TRUE(noBytes.Present);
    EXPECT_EQ(noBytes.Type, DWORD(REG_BINARY));
    EXPECT_TRUE(noBytes.Data.empty());

    EXPECT_TRUE(bench.undo.Empty());  // no flags, nothing to undo
    EXPECT_EQ(bench.progress.pumps, 0);
    EXPECT_EQ(bench.progress.Position(), 1007);
}

TEST(RegistryEntries, TheUninstallFlagsChooseOneEntryAndRollBack) {
    RegistryBench bench;
    // Something of the user's beside the setup's: it survives the rollback.
    {
        UniqueHKey users;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(bench.Key("Shared")).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, users.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_TRUE(RegWriteString(users.get(), "User", REG_SZ, "mine"));
    }
    bench.data.RegistryRecords = {
        Reg(bench.Key("Empty key"), "", rtNone, rfUninstDeleteValue | rfUninstDeleteKey),
        RegString(bench.Key("Shared"), "Setup", "x", rfUninstDeleteValue | rfUninstDeleteKey | rfUninstEmptyDefault),
        RegString(bench.Key("Own\\{app}"), "V", "y", rfUninstDeleteKey | rfUninstEmptyDefault),
        RegString(bench.Key("Default"), "", "z", rfUninstEmptyDefault),
        RegString(bench.Key("Alone"), "Last", "w", rfUninstDeleteValue),
    };
    WriteRegistryEntries(bench.context);
    const std::string app = bench.app.path();
    const auto& entries = bench.undo.Entries();
    // The keys made on the way to Own\<app>, outermost first, before its own entry.
    const std::vector<std::string> madeOnTheWay = ParentsBelow(bench.Key(""), bench.Key("Own\\" + app));
    const std::size_t n = madeOnTheWay.size();
    ASSERT_EQ(entries.size(), 5u + n);
    ExpectEntry(entries[0], ekRegKeyIfEmpty, {bench.Key("Empty key")});
    ExpectEntry(entries[1], ekRegValue, {bench.Key("Shared"), "Setup"});
    for (std::size_t i = 0; i < n; ++i) ExpectEntry(entries[2 + i], ekRegKeyIfEmpty, {madeOnTheWay[i]});
    ExpectEntry(entries[2 + n], ekRegKeyTree, {bench.Key("Own\\" + app)});
    ExpectEntry(entries[3 + n], ekRegDefaultValue, {bench.Key("Default")});
    ExpectEntry(entries[4 + n], ekRegValue, {bench.Key("Alone"), "Last"});

    EXPECT_TRUE(bench.undo.UndoAll(false));
    EXPECT_FALSE(OpenUserKey(bench.Key("Empty key")));
    EXPECT_FALSE(ReadValue(bench.Key("Shared"), "Setup").Present);
    EXPECT_TRUE(ReadValue(bench.Key("Shared"), "User").Present);
    EXPECT_FALSE(OpenUserKey(bench.Key("Own")));  // made on the way, and empty again
    EXPECT_EQ(ReadValue(bench.Key("Default"), "").Data, WideBytes(""));
    EXPECT_FALSE(OpenUserKey(bench.Key("Alone")));  // its last value went, and the key with it
}

// The rollback comes from the journal, which knows what was there: a key
// that existed keeps what it held and stays, whatever the entry tells the
// uninstaller; a key the installation made goes.
TEST(RegistryEntries, AKeyThatExistedBeforeIsNotDeletedByTheRollback) {
    RegistryBench bench;
    bench.KeepJournal();
    {
        UniqueHKey users;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(bench.Key("App")).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, users.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_TRUE(RegWriteString(users.get(), "users", REG_SZ, "m"));
    }
    bench.data.RegistryRecords = {RegString(bench.Key("App"), "V", "new", rfUninstDeleteKey),
                                  RegString(bench.Key("Other"), "V", "new", rfUninstDeleteKey)};
    WriteRegistryEntries(bench.context);
    // The uninstaller deletes both keys; the undo log says no more.
    ASSERT_EQ(bench.undo.Entries().size(), 2u);
    ExpectEntry(bench.undo.Entries()[0], ekRegKeyTree, {bench.Key("App")});
    ExpectEntry(bench.undo.Entries()[1], ekRegKeyTree, {bench.Key("Other")});

    EXPECT_TRUE(bench.RollBack());
    EXPECT_EQ(ReadValue(bench.Key("App"), "users").Data, WideBytes("m"));
    EXPECT_FALSE(ReadValue(bench.Key("App"), "V").Present);
    EXPECT_FALSE(OpenUserKey(bench.Key("Other")));
}

// Keys an entry makes on its way go with it, each when it is empty by then,
// deepest first; keys that were there, or that hold something else by
// then, stay. Recorded once, by the entry that made them.
TEST(RegistryEntries, KeysMadeOnTheWayGoWhenEmptyAndOnlyThose) {
    RegistryBench bench;
    bench.data.RegistryRecords = {
        RegString(bench.Key("示例公司\\单文件示例\\设置"), "V", "x", rfUninstDeleteKey),
        RegString(bench.Key("示例公司\\其它"), "W", "y", rfUninstDeleteValue),
        RegString(bench.Key("留下\\默认"), "", "z", rfUninstEmptyDefault),  // its key stays, so do those above
        RegString(bench.Key("Software\\Microsoft"), "Q", "q", rfUninstDeleteKey),  // names like the system's: its own
    };
    WriteRegistryEntries(bench.context);
    const auto& entries = bench.undo.Entries();
    ASSERT_EQ(entries.size(), 7u);
    ExpectEntry(entries[0], ekRegKeyIfEmpty, {bench.Key("示例公司")});
    ExpectEntry(entries[1], ekRegKeyIfEmpty, {bench.Key("示例公司\\单文件示例")});
    ExpectEntry(entries[2], ekRegKeyTree, {bench.Key("示例公司\\单文件示例\\设置")});
    ExpectEntry(entries[3], ekRegValue, {bench.Key("示例公司\\其它"), "W"});
    ExpectEntry(entries[4], ekRegDefaultValue, {bench.Key("留下\\默认")});
    ExpectEntry(entries[5], ekRegKeyIfEmpty, {bench.Key("Software")});
    ExpectEntry(entries[6], ekRegKeyTree, {bench.Key("Software\\Microsoft")});

    // Something of the user's in the vendor's key meanwhile: that key stays.
    {
        UniqueHKey users;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(bench.Key("Software\\User")).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, users.put(), nullptr),
                  ERROR_SUCCESS);
    }
    EXPECT_TRUE(bench.undo.UndoAll(true));
    EXPECT_FALSE(OpenUserKey(bench.Key("示例公司")));
    EXPECT_TRUE(OpenUserKey(bench.Key("留下\\默认")));
    EXPECT_TRUE(OpenUserKey(bench.Key("Software\\User")));
    EXPECT_FALSE(OpenUserKey(bench.Key("Software\\Microsoft")));
    EXPECT_TRUE(OpenUserKey(kTestRoot));  // it was there before
}

TEST(RegistryEntries, KeepExistingValueLeavesItAndStillRecords) {
    RegistryBench bench;
    bench.data.RegistryRecords = {RegString(bench.Key("Keep"), "Old", "first")};
    WriteRegistryEntries(bench.context);
    TRegistryRec again = RegString(bench.Key("Keep"), "Old", "second", rfKeepExistingValue | rfUninstDeleteValue);
    TRegistryRec fresh = RegString(bench.Key("Keep"), "New", "third", rfKeepExistingValue);
    TRegistryRec keyOnly = Reg(bench.Key("Keep"), "Old", rtNone, rfKeepExistingValue | rfUninstDeleteKey);
    bench.data.RegistryRecords = {again, fresh, keyOnly};
    WriteRegistryEntries(bench.context);
    EXPECT_EQ(ReadValue(bench.Key("Keep"), "Old").Data, WideBytes("first"));
    EXPECT_EQ(ReadValue(bench.Key("Keep"), "New").Data, WideBytes("third"));
    ASSERT_EQ(bench.undo.Entries().size(), 2u);
    ExpectEntry(bench.undo.Entries()[0], ekRegValue, {bench.Key("Keep"), "Old"});
    ExpectEntry(bench.undo.Entries()[1], ekRegKeyTree, {bench.Key("Keep")});
}

TEST(RegistryEntries, AKeyThatCannotBeCreatedIsOfferedForRetry) {
    RegistryBench bench;
    TRegistryRec bad = RegString(bench.Key("Bad\\{app}"), "V", "x", rfUninstDeleteKey);
    bad.RootKey = 0x12345678;  // no root key
    bench.data.RegistryRecords = {bad, RegString(bench.Key("Good"), "V", "y", rfUninstDeleteKey)};
    {
        AnsweredBoxes boxes({IDRETRY, IDIGNORE});
        WriteRegistryEntries(bench.context);
        ASSERT_EQ(boxes.asked.size(), 2u);
        EXPECT_EQ(boxes.asked[1].Text, "创建注册表出错: " + bench.Key("Bad\\" + bench.app.path()) +
                                           ".\r\n\r\n按<重试>重试，<忽略>跳过此项，或<取消>以取消安装。");
        EXPECT_EQ(boxes.asked[1].Caption, MsgBoxKindCaption(mbtError));  // the empty caption's default
        EXPECT_EQ(boxes.asked[1].Kind, mbtError);
        EXPECT_EQ(boxes.asked[1].Flags & (MB_TYPEMASK | MB_DEFMASK), UINT(MB_ABORTRETRYIGNORE | MB_DEFBUTTON2));
    }
    // Nothing recorded for the skipped entry; the next one went on.
    ASSERT_EQ(bench.undo.Entries().size(), 1u);
    ExpectEntry(bench.undo.Entries()[0], ekRegKeyTree, {bench.Key("Good")});
    EXPECT_EQ(bench.progress.Position(), 1000);

    AnsweredBoxes abort({IDABORT});
    EXPECT_THROW(WriteRegistryEntries(bench.context), EAbort);
    EXPECT_EQ(bench.undo.Entries().size(), 1u);
    EXPECT_EQ(bench.progress.Position(), 1000);
}

TEST(RegistryEntries, ASubKeyThatCannotBeExpandedIsOfferedForRetry) {
    RegistryBench bench;  // the bench's run knows no programs folder for {group}
    bench.data.RegistryRecords = {RegString("{group}\\x", "V", "x"),
                                  RegString(bench.Key("Good"), "V", "y", rfUninstDeleteKey)};
    AnsweredBoxes boxes({IDIGNORE});
    WriteRegistryEntries(bench.context);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, "内部错误 C100.\r\n\r\n按<重试>重试，<忽略>跳过此项，或<取消>以取消安装。");
    ASSERT_EQ(bench.undo.Entries().size(), 1u);
    ExpectEntry(bench.undo.Entries()[0], ekRegKeyTree, {bench.Key("Good")});
}

TEST(RegistryEntries, AValueThatCannotBeWrittenIsOfferedForRetry) {
    RegistryBench bench;
    // A value name longer than the registry allows (16383 characters).
    TRegistryRec bad = RegString(bench.Key("Long"), std::string(17000, 'n'), "x", rfUninstDeleteValue);
    bench.data.RegistryRecords = {bad};
    AnsweredBoxes boxes({IDIGNORE});
    WriteRegistryEntries(bench.context);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text.substr(0, boxes.asked[0].Text.find(".\r\n")), "写注册表出错: " + bench.Key("Long"));
    EXPECT_TRUE(bench.undo.Empty());
}

}  // namespace
}  // namespace qv
