// Shared files: their counts in every stored type, the question before one
// is deleted, and libraries that unregister themselves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/instfunc/shared_file_count.h"
#include "engine/undo/undo_changes.h"
#include "engine/undo/undo_support.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::Binary;
using test::Dword;
using test::Exists;
using test::RawValue;
using test::ScratchFolder;
using test::Text;
using test::WriteText;

struct StoredForm {
    const char* Name;
    RawValue (*Of)(std::uint32_t count);  // the count as the form writes it
    RawValue Two;                         // 2 as another installer stored it
};

TEST(SharedFileCounts, RaisingAndLoweringKeepTheStoredType) {
    const std::vector<StoredForm> forms = {
        {"REG_DWORD", [](std::uint32_t n) { return Dword(n); }, Dword(2)},
        {"REG_BINARY 1", [](std::uint32_t n) { return Binary({BYTE(n), 0, 0, 0}); }, Binary({2})},
        {"REG_BINARY 2", [](std::uint32_t n) { return Binary({BYTE(n), 0, 0, 0}); }, Binary({2, 0})},
        {"REG_BINARY 3", [](std::uint32_t n) { return Binary({BYTE(n), 0, 0, 0}); }, Binary({2, 0, 0})},
        {"REG_BINARY 4", [](std::uint32_t n) { return Binary({BYTE(n), 0, 0, 0}); }, Binary({2, 0, 0, 0})},
        {"REG_SZ", [](std::uint32_t n) { return Text(std::to_wstring(n)); }, Text(L"2")},
    };
    test::SharedCounts counts;
    for (const StoredForm& form : forms) {
        const std::string file = std::string("C:\\QVSetupTests\\共享 ") + form.Name + ".dll";
        counts.Store(file, form.Two);
        RaiseSharedFileCount(file, false);
        EXPECT_EQ(counts.Stored(file), form.Of(3)) << form.Name;
        EXPECT_FALSE(LowerSharedFileCount(file)) << form.Name;
        EXPECT_EQ(counts.Stored(file), form.Of(2)) << form.Name;
        EXPECT_FALSE(LowerSharedFileCount(file)) << form.Name;
        EXPECT_EQ(counts.Stored(file), form.Of(1)) << form.Name;
        EXPECT_TRUE(LowerSharedFileCount(file)) << form.Name;
        EXPECT_EQ(counts.Stored(file).Type, REG_NONE) << form.Name;
    }
}

TEST(SharedFileCounts, CountsThatCannotBeReadAreTakenAsTwoUsers) {
    test::SharedCounts counts;
    const std::string missing = "C:\\QVSetupTests\\no count.dll";
    counts.Store(missing, Dword(0));
    EXPECT_TRUE(LowerSharedFileCount(missing));  // 0 or below: the value goes
    EXPECT_FALSE(LowerSharedFileCount(missing)) << "no value at all: false, and nothing is written";
    EXPECT_EQ(counts.Stored(missing).Type, REG_NONE);
    for (const RawValue& unreadable : {Text(L"many"), Binary({1, 0, 0, 0, 0}), RawValue{REG_MULTI_SZ, {0, 0, 0, 0}}}) {
        const std::string file = "C:\\QVSetupTests\\unreadable.dll";
        counts.Store(file, unreadable);
        EXPECT_FALSE(LowerSharedFileCount(file)) << unreadable;
        EXPECT_EQ(counts.Stored(file), Dword(1)) << unreadable;
    }
}

// Shared files of one installation: a.dll is used by another installation
// too (count 2), b.dll only by this one, c.dll has lost its count, d.dll
// is gone already, e.dll registers itself.
struct SharedFiles {
    SharedFiles() {
        for (const auto* file : {&a, &b, &c, &e}) WriteText(*file);
        counts.Store(a, Dword(2));
        counts.Store(b, Dword(1));
        counts.Store(d, Text(L"1"));
        probe.CopyTo(e);
        counts.Store(e, Binary({1}));
        undo.AddEntry(ekFile, {a, ""}, efSharedCount);
        undo.AddEntry(ekFile, {b, ""}, efSharedCount);
        undo.AddEntry(ekFile, {c, ""}, efSharedCount);
        undo.AddEntry(ekFile, {d, ""}, efSharedCount);
        undo.AddEntry(ekFile, {e, ""}, efSharedCount | efSelfUnregister);
    }

    ScratchFolder root{"undo shared"};
    std::string a = root.file("a.dll"), b = root.file("b.dll"), c = root.file("c.dll"), d = root.file("d.dll");
    std::string e = root.file("e.dll");
    test::SharedCounts counts;
    test::UnregisterProbe probe{root.file("unregister.log")};
    TUndoChanges undo;
};

TEST(SharedFileUndo, RollbackDeletesASharedFileWhoseCountReachesZeroWithoutAsking) {
    SharedFiles files;
    test::ScriptedBoxes boxes(IDNO);
    EXPECT_TRUE(files.undo.UndoAll(false));
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_TRUE(Exists(files.a));
    EXPECT_EQ(files.counts.Stored(files.a), Dword(1));
    EXPECT_FALSE(Exists(files.b));
    EXPECT_EQ(files.counts.Stored(files.b).Type, REG_NONE);
    EXPECT_TRUE(Exists(files.c));
    EXPECT_EQ(files.counts.Stored(files.d).Type, REG_NONE);
    EXPECT_EQ(files.probe.Calls(), (std::vector<std::string>{files.e}));
    EXPECT_FALSE(Exists(files.e));
}

TEST(SharedFileUndo, UninstallingAsksBeforeEachSharedFileWhoseCountReachesZero) {
    SharedFiles files;
    test::ScriptedBoxes boxes(IDNO);
    EXPECT_TRUE(files.undo.UndoAll(true));
    // e.dll and b.dll; a.dll is still used, d.dll is gone, c.dll had no count.
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].Text,
              "从系统获悉下面的共享文件很长时间没有被其它程序使用。想在反安装中删除这个共享文件吗？\r\n\r\n" + files.b +
                  "\r\n\r\n如果其它程序仍在使用此文件而将此文件删除，将会影响这些程序的功能正常。如果您不想删除它, "
                  "请选择<否>。删除此文件不会对您的系统产生任何损害。");
    EXPECT_EQ(boxes.asked[1].Caption, "删除被共享的文件");
    EXPECT_EQ(boxes.asked[1].Flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_FALSE(boxes.asked[1].Kind.has_value());
    EXPECT_TRUE(Exists(files.b));
    EXPECT_EQ(files.counts.Stored(files.b).Type, REG_NONE);  // the count is gone even so
    EXPECT_TRUE(files.probe.Calls().empty());
    EXPECT_TRUE(Exists(files.e));

    SharedFiles again;
    test::ScriptedBoxes yes(IDYES);
    EXPECT_TRUE(again.undo.UndoAll(true));
    EXPECT_EQ(yes.asked.size(), 2u);
    EXPECT_FALSE(Exists(again.b));
    EXPECT_FALSE(Exists(again.e));
    EXPECT_EQ(again.probe.Calls(), (std::vector<std::string>{again.e}));
    EXPECT_TRUE(Exists(again.a));
    EXPECT_EQ(again.counts.Stored(again.a), Dword(1));
}

TEST(SharedFileUndo, AFailedUnregistrationCountsButTheFileGoesAndOlderEntriesRun) {
    ScratchFolder root("undo unregister");
    test::UnregisterProbe probe(root.file("unregister.log"));
    const std::string failing = root.file("failing.ocx"), notALibrary = root.file("text.dll");
    const std::string installed = root.file("fine.dll"), pending = root.file("qv-00002.tmp");
    probe.CopyTo(failing);
    probe.CopyTo(installed);
    WriteText(notALibrary, "not a library");
    WriteText(pending);
    TUndoChanges undo;
    undo.AddEntry(ekFile, {installed, ""}, efSelfUnregister);
    // Waiting for the restart: the registered file is another.
    undo.AddEntry(ekFile, {installed, pending}, efSelfUnregister);
    undo.AddEntry(ekFile, {notALibrary, ""}, efSelfUnregister);
    undo.AddEntry(ekFile, {failing, ""}, efSelfUnregister);
    {
        const test::ScopedEnvVar status("QV_UNREGISTER_STATUS", "80004005");
        test::ScriptedBoxes boxes;
        EXPECT_FALSE(undo.UndoAll(false));
        EXPECT_TRUE(boxes.asked.empty());  // unregistration failures are shown nowhere
    }
    EXPECT_EQ(probe.Calls(), (std::vector<std::string>{failing, installed}));
    for (const auto& file : {failing, notALibrary, installed, pending}) EXPECT_FALSE(Exists(file)) << file;
}

}  // namespace
}  // namespace qv
