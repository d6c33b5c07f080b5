// The single-file program: Setup.exe with the whole installation inside
// its own file, run as a user downloads it. Every option and exit code
// through the program; a cut or changed download refused before anything
// happens.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/setupdata/records.h"
#include "engine/common/exit_codes.h"
#include "engine/common/path_tests.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/install/file_version.h"
#include "engine/setup/own_payload.h"
#include "setup_exe_fixture.h"
#include "testkit/child_process.h"
#include "testkit/machine_snapshot.h"
#include "testkit/pending_renames.h"

namespace qv {
namespace {

constexpr char kUninstallParent[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The program lies alone in its folder: no SETUP.0, no data files beside it.
class ProgramRun : public test::SetupExeWindow {
protected:
    void SetUp() override {
        data_ = test::SampleSetupData();
        data_.SetupInfo.AppName = "单文件";
        data_.SetupInfo.AppNameVersion = "单文件 3.2";
        data_.SetupInfo.DefaultGroup = group_;
        data_.SetupInfo.Options = optOwnAppFolder;
        data_.LicenseText.clear();
        data_.FileRecords.clear();
        data_.FileLocationRecords.clear();
        data_.IconRecords = {{"{group}\\单文件", "{app}\\程序.exe", "", "{app}", "", 0}};
        // {src} is the program's folder.
        data_.RegistryRecords.resize(1);
        data_.RegistryRecords[0].RootKey = kHkeyCurrentUser;
        data_.RegistryRecords[0].SubKey = regKey_;
        data_.RegistryRecords[0].ValueName = "Source";
        data_.RegistryRecords[0].ValueType = rtString;
        data_.RegistryRecords[0].ValueString = "{src}";
        data_.RegistryRecords[0].Flags = rfUninstDeleteKey;
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, Widen(regKey_).c_str());
        for (const REGSAM view : {test::EngineRegistryView(), test::OtherRegistryView()}) {
            test::DeleteRegistryTree(HKEY_LOCAL_MACHINE, UninstallKey(), view);
            test::DeleteRegistryTree(HKEY_LOCAL_MACHINE, regKey_, view);
        }
        for (const std::string& folder : {EngineSystemFolder(), OtherSystemFolder()})
            if (!folder.empty()) DeleteFileW(Widen(folder + "\\" + systemFile_).c_str());
        test::SetupExeWindow::TearDown();
    }
    // {sys} as the engine sees it, and the system folder of the other
    // machine type ("" where there is none), as this 64-bit test sees both.
    static std::string SystemFolderOf(bool wow64) {
        wchar_t folder[MAX_PATH] = {};
        const UINT n = wow64 ? GetSystemWow64DirectoryW(folder, MAX_PATH) : GetSystemDirectoryW(folder, MAX_PATH);
        return n > 0 && n < MAX_PATH ? Narrow(folder) : std::string();
    }
    static std::string EngineSystemFolder() { return SystemFolderOf(test::EngineIsI686()); }
    static std::string OtherSystemFolder() { return SystemFolderOf(!test::EngineIsI686()); }

    // Writes the program with the files; the uninstaller first when the
    // installation is uninstallable, as qvsetup carries it.
    // `engine`: the folder of the Setup.exe and uninstaller to use.
    void WriteProgram(std::vector<test::PayloadFile> files, bool solid = false,
                      const std::string& engine = test::EngineFolder()) {
        data_.FileRecords.clear();
        data_.FileLocationRecords.clear();
        const bool uninstallable = data_.SetupInfo.Has(optUninstallable);
        const std::string uninstallerName = test::UninstallerName(engine);
        const std::string uninstaller = engine + "\\" + uninstallerName;
        if (uninstallable) files.insert(files.begin(), {"{win}\\" + uninstallerName, test::ReadFileBytes(uninstaller)});
        data_.FileMembers.clear();
        const std::vector<std::uint8_t> streams = test::SingleFileStreams(data_, files, solid);
        for (TFileRec& file : data_.FileRecords) file.FileFlags |= extraFileFlags_;
        if (damageLastFile_) data_.FileRecords.back().Adler32 ^= 1;
        if (uninstallable) {
            TFileRec& carried = data_.FileRecords[0];
            carried.ReplaceMode = rmKeepNewer;
            carried.FileFlags = ffNoUninstall | ffReplaceAtRestart;
            carried.VersionFlags = vfHasVersion;
            ASSERT_TRUE(ReadFileVersion(uninstaller, carried.FileVersionMS, carried.FileVersionLS));
        }
        locator_ = test::WriteProgramFile(program(), engine + "\\Setup.exe", data_, streams);
    }
    std::string UninstallKey() const { return std::string(kUninstallParent) + "\\" + data_.SetupInfo.AppNameVersion + "_qv1"; }
    std::string Machine() const {
        return "apps:\n" + test::FolderSnapshot(apps_.path()) + "group:\n" +
               test::FolderSnapshot(test::ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group_) +
               test::FolderSnapshot(test::ShellFolder(CSIDL_PROGRAMS) + "\\" + group_) +
               test::RegistrySnapshot(HKEY_CURRENT_USER, regKey_) + test::RegistrySnapshot(HKEY_LOCAL_MACHINE, UninstallKey()) +
               test::RegistrySnapshot(HKEY_LOCAL_MACHINE, regKey_) + "sys: " +
               (FileExists(EngineSystemFolder() + "\\" + systemFile_) ? "the library\n" : "none\n");
    }
    // Uninstallable, with a {sys} file and a machine-wide value naming {sys}.
    void MakeMachineWide() {
        data_.SetupInfo.Options = optUninstallable | optOwnAppFolder;
        TRegistryRec machineWide = data_.RegistryRecords[0];
        machineWide.RootKey = kHkeyLocalMachine;
        machineWide.ValueName = "System";
        machineWide.ValueString = "{sys}";
        data_.RegistryRecords.push_back(machineWide);
    }
    static bool InOtherView(const std::string& key) {
        UniqueHKey opened;
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(key).c_str(), 0, KEY_READ | test::OtherRegistryView(),
                             opened.put()) == ERROR_SUCCESS;
    }
    // Runs the quiet uninstall command of the uninstall key in `view`.
    DWORD QuietUninstall(REGSAM view) {
        UniqueHKey key;
        std::string quiet;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(UninstallKey()).c_str(), 0, KEY_QUERY_VALUE | view, key.put()) !=
                ERROR_SUCCESS ||
            !RegReadString(key.get(), "QuietUninstallString", quiet))
            return 0xFFFFFFFF;
        test::ChildRun uninstall;
        uninstall.Program = quiet.substr(1, quiet.find('"', 1) - 1);
        uninstall.CommandLine = quiet;
        const test::ChildResult removed = test::RunChild(uninstall);
        EXPECT_TRUE(removed.Boxes.empty());
        return removed.ExitCode;
    }
    DWORD Silently(const std::string& more = "") {
        return RunToEnd("/VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + app_ + "\" " + more);
    }

    // The restart's renames waiting for the system, as one text.
    static std::string PendingRenames() {
        std::string text;
        for (const test::PendingRename& rename : test::ListPendingRenames())
            text += rename.Source + " -> " + rename.Target + "\n";
        return text;
    }

    std::uint32_t extraFileFlags_ = 0;
    bool damageLastFile_ = false;
    static inline int testNumber_ = 0;
    const std::string tag_ = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++testNumber_);
    const std::string regKey_ = "Software\\QV program " + tag_;
    const std::string systemFile_ = "qv program " + tag_ + ".dll";
    const std::string group_ = "QV 单文件组 " + tag_;
    const std::vector<std::uint8_t> content_ = test::PatternedContent(120000, 21);
    const std::vector<std::uint8_t> library_ = test::PatternedContent(3000, 8);
    test::ScratchFolder apps_{"qv 单文件 应用"};
    const std::string app_ = apps_.file("应用");
    PayloadLocator locator_;
};

// On 64-bit Windows an installation stays in its engine's view: the i686
// engine's {sys} is SysWOW64 and its machine-wide keys are the 32-bit
// registry's; the other side's file and key of the same names are never
// touched, by the installation nor by its uninstall.
TEST_F(ProgramRun, ASilentInstallAndItsQuietUninstallLeaveTheMachineAsBefore) {
    MakeMachineWide();
    WriteProgram({{"{app}\\程序.exe", content_}, {"{sys}\\" + systemFile_, library_}});
    const std::vector<std::uint8_t> othersLibrary = {'o'};
    const std::string othersFile = OtherSystemFolder().empty() ? "" : OtherSystemFolder() + "\\" + systemFile_;
    if (!othersFile.empty()) test::WriteFileBytes(othersFile, othersLibrary);
    const std::string before = Machine();
    const std::string log = temp_.file("install.log");
    ASSERT_EQ(Silently("\"/LOG=" + log + "\""), exit_code::Success);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), content_);
    EXPECT_EQ(test::ReadRegistryString(HKEY_CURRENT_USER, regKey_, "Source"), folder_.path());
    EXPECT_EQ(test::ReadFileBytes(EngineSystemFolder() + "\\" + systemFile_), library_);
    const std::string system = test::ReadRegistryString(HKEY_LOCAL_MACHINE, regKey_, "System");
    EXPECT_EQ(_wcsicmp(Widen(system).c_str(), Widen(EngineSystemFolder()).c_str()), 0) << system;
    EXPECT_FALSE(InOtherView(regKey_));
    EXPECT_FALSE(InOtherView(UninstallKey()));
    const std::vector<std::uint8_t> logBytes = test::ReadFileBytes(log);
    EXPECT_NE(std::string(logBytes.begin(), logBytes.end()).find("The program holds its own payload"), std::string::npos);
    // Nothing was copied out of the program: its folder holds it alone, and
    // the temporary folder only the log.
    EXPECT_EQ(test::ListFolder(folder_.path()), (std::vector<std::string>{"Setup.exe"}));
    EXPECT_EQ(test::ListFolder(temp_.path()), (std::vector<std::string>{"install.log"}));

    const std::string uninstallString = test::ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKey(), "UninstallString");
    const std::string quiet = test::ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKey(), "QuietUninstallString");
    EXPECT_EQ(quiet, uninstallString + " /VERYSILENT /SUPPRESSMSGBOXES");
    EXPECT_EQ(test::ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKey(), "DisplayVersion"), "3.2");
    EXPECT_EQ(test::ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKey(), "DisplayIcon"), app_ + "\\程序.exe");

    // As a deployment tool removes it: the quiet command line as it stands.
    test::ChildRun uninstall;
    uninstall.Program = quiet.substr(1, quiet.find('"', 1) - 1);
    uninstall.CommandLine = quiet;
    const test::ChildResult removed = test::RunChild(uninstall);
    EXPECT_EQ(removed.ExitCode, exit_code::Success);
    EXPECT_TRUE(removed.Boxes.empty());
    EXPECT_EQ(Machine(), before);
    if (!othersFile.empty()) {
        EXPECT_EQ(test::ReadFileBytes(othersFile), othersLibrary);
    }
}

// The same application built with both engines, installed side by side on
// 64-bit Windows: each in its own view (the same key names, the same {sys}
// file name), each uninstalled by its own key, and nothing left of either.
TEST_F(ProgramRun, A32BitAndA64BitInstallationLiveSideBySideAndEachUninstallTakesItsOwn) {
    if (!test::EngineIsI686()) GTEST_SKIP() << "the i686 run has both engines";
    MakeMachineWide();
    const std::string app64 = apps_.file("应用 64");
    const std::string library64Path = OtherSystemFolder() + "\\" + systemFile_;
    const std::vector<std::uint8_t> library64 = test::PatternedContent(3300, 9);
    const std::string before = Machine();
    ASSERT_FALSE(FileExists(library64Path));

    // No link of its own: the two would be one file in one group.
    const SetupData both = data_;
    data_.IconRecords.clear();
    WriteProgram({{"{app}\\程序.exe", content_}, {"{sys}\\" + systemFile_, library64}}, false, test::ProgramFolder());
    data_ = both;
    ASSERT_EQ(RunToEnd("/VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + app64 + "\""), exit_code::Success);
    CloseHandle(std::exchange(process_, nullptr));
    WriteProgram({{"{app}\\程序.exe", content_}, {"{sys}\\" + systemFile_, library_}});
    ASSERT_EQ(Silently(), exit_code::Success);
    EXPECT_EQ(test::ReadFileBytes(library64Path), library64);
    EXPECT_EQ(test::ReadFileBytes(EngineSystemFolder() + "\\" + systemFile_), library_);

    // The 64-bit one goes first: the 32-bit one keeps all it had.
    EXPECT_EQ(QuietUninstall(test::OtherRegistryView()), exit_code::Success);
    EXPECT_FALSE(PathExists(app64));
    EXPECT_FALSE(FileExists(library64Path));
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), content_);
    EXPECT_EQ(test::ReadFileBytes(EngineSystemFolder() + "\\" + systemFile_), library_);
    EXPECT_NE(test::ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKey(), "QuietUninstallString"), "<no key>");
    EXPECT_NE(test::ReadRegistryString(HKEY_LOCAL_MACHINE, regKey_, "System"), "<no key>");
    EXPECT_EQ(QuietUninstall(test::EngineRegistryView()), exit_code::Success);
    EXPECT_EQ(Machine(), before);
    EXPECT_FALSE(InOtherView(regKey_));
    EXPECT_FALSE(InOtherView(UninstallKey()));
}

// A {sys} file in use is replaced at the restart, which a 64-bit process
// carries out: the restart (wineboot -r here) puts the new file in the
// engine's own system folder and leaves the other's file of the same name.
// A rolled-back installation takes its pending rename back.
TEST_F(ProgramRun, ASystemFileInUseIsReplacedAtTheRestartInTheEnginesOwnSystemFolder) {
    const std::string existing = EngineSystemFolder() + "\\" + systemFile_;
    const std::string othersFile = OtherSystemFolder().empty() ? "" : OtherSystemFolder() + "\\" + systemFile_;
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'}, others = {'k'};
    test::WriteFileBytes(existing, old);
    if (!othersFile.empty()) test::WriteFileBytes(othersFile, others);
    extraFileFlags_ = ffReplaceAtRestart;
    data_.RegistryRecords.clear();
    const std::string log = temp_.file("restart.log");
    const auto installWhileInUse = [&] {
        CloseHandle(std::exchange(process_, nullptr));
        UniqueHFile inUse(CreateFileW(Widen(existing).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(inUse);
        return Silently("\"/LOG=" + log + "\"");
    };
    const auto logText = [&] {
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(log);
        return std::string(bytes.begin(), bytes.end());
    };

    // Rolled back, by a damaged last file.
    const std::string before = PendingRenames();
    damageLastFile_ = true;
    WriteProgram({{"{sys}\\" + systemFile_, library_}, {"{app}\\最后.dat", content_}});
    EXPECT_EQ(installWhileInUse(), exit_code::FatalError);
    EXPECT_NE(logText().find("replaced at the next restart"), std::string::npos) << logText();
    EXPECT_EQ(PendingRenames(), before) << logText();
    EXPECT_EQ(test::ReadFileBytes(existing), old);

    damageLastFile_ = false;
    WriteProgram({{"{sys}\\" + systemFile_, library_}});
    ASSERT_EQ(installWhileInUse(), exit_code::RestartRequired);
    // The system carries it out as it is spelled: SysWOW64 for the i686 engine.
    const std::vector<test::PendingRename> renames = test::ListPendingRenames();
    EXPECT_TRUE(std::any_of(renames.begin(), renames.end(), [&](const test::PendingRename& rename) {
        return _wcsicmp(Widen(rename.Target).c_str(), Widen("!" + existing).c_str()) == 0;
    })) << PendingRenames() << logText();
    EXPECT_EQ(test::ReadFileBytes(existing), old) << "until the restart";

    test::ChildRun restart;
    restart.Program = SystemFolderOf(false) + "\\wineboot.exe";
    restart.CommandLine = "wineboot.exe -r";
    EXPECT_EQ(test::RunChild(restart).ExitCode, 0u);
    EXPECT_EQ(test::ReadFileBytes(existing), library_);
    if (!othersFile.empty()) {
        EXPECT_EQ(test::ReadFileBytes(othersFile), others);
    }
    EXPECT_EQ(PendingRenames(), "");
}

TEST_F(ProgramRun, TheWizardAndEveryExitCodeReachTheCallerThroughTheProgram) {
    WriteProgram({{"{app}\\程序.exe", content_}});
    HWND window = Start("");
    ASSERT_NE(window, nullptr) << "the background window with the caption 安装 - 单文件";
    EXPECT_EQ(Leave(window), exit_code::UserCancelled);

    CloseHandle(std::exchange(process_, nullptr));
    EXPECT_EQ(Silently(), exit_code::Success);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), content_);

    // A folder that cannot be made: the installation fails and is rolled back.
    CloseHandle(std::exchange(process_, nullptr));
    test::WriteFileBytes(apps_.file("文件"), {'x'});
    EXPECT_EQ(RunToEnd("/VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + apps_.file("文件") + "\\应用\""), exit_code::FatalError);

    CloseHandle(std::exchange(process_, nullptr));
    data_.SetupInfo.Options = optOwnAppFolder | optRestartAfter;
    WriteProgram({{"{app}\\程序.exe", content_}});
    EXPECT_EQ(Silently(), exit_code::RestartRequired);

    // An explicit /SL with another installation's data is refused: the
    // program installs nothing but what its publisher signed.
    CloseHandle(std::exchange(process_, nullptr));
    SetupData other = data_;
    other.SetupInfo.Options = optOwnAppFolder;
    other.FileRecords.clear();
    other.FileLocationRecords.clear();
    const std::vector<std::uint8_t> otherContent = test::PatternedContent(700, 3);
    const std::vector<std::uint8_t> streams = test::SingleFileStreams(other, {{"{app}\\其它.txt", otherContent}});
    std::vector<std::uint8_t> slFile = test::SetupDataBytes(other);
    const std::size_t fileData = slFile.size();
    slFile.insert(slFile.end(), streams.begin(), streams.end());
    test::WriteFileBytes(apps_.file("other.bin"), slFile);
    EXPECT_EQ(RunToEnd("/SL \"" + apps_.file("other.bin") + "\" 0 " + std::to_string(fileData) +
                       " /VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + apps_.file("其它") + "\""),
              exit_code::FatalError);
    EXPECT_FALSE(PathExists(apps_.file("其它")));
}

TEST_F(ProgramRun, ACutOrChangedDownloadIsRefusedBeforeAnyWindowOrFile) {
    // More payload than engine: half of the program lies in the payload.
    const std::uint64_t engineSize = test::ReadFileBytes(test::EngineFolder() + "\\Setup.exe").size();
    WriteProgram({{"{app}\\程序.exe", content_}, {"{app}\\大.bin", test::PatternedContent(engineSize + 200000, 4)}});
    const std::vector<std::uint8_t> whole = test::ReadFileBytes(program());
    struct Damage {
        const char* What;
        std::vector<std::uint8_t> Bytes;
    };
    std::vector<Damage> damages = {
        {"cut by one byte", {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(locator_.PayloadEnd() - 1)}},
        {"cut by half", {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)}},
        {"a byte of the setup data", whole},
        {"a byte of the file data", whole}};
    damages[2].Bytes[static_cast<std::size_t>(locator_.SetupDataOffset) + 40] ^= 0x01;
    damages[3].Bytes[static_cast<std::size_t>(locator_.FileDataOffset) + 5000] ^= 0x01;

    for (const Damage& damage : damages) {
        test::WriteFileBytes(program(), damage.Bytes);
        for (const bool suppressed : {false, true}) {
            test::ChildRun run;
            run.Program = program();
            run.CommandLine = "\"" + program() + "\" \"/DIR=" + app_ + "\" /LOG" + (suppressed ? " /SUPPRESSMSGBOXES" : "");
            run.Environment = {{"TMP", temp_.path()}, {"TEMP", temp_.path()}};
            const test::ChildResult result = test::RunChild(run);
            EXPECT_EQ(result.ExitCode, exit_code::FatalError) << damage.What;
            if (suppressed) {
                EXPECT_TRUE(result.Boxes.empty()) << damage.What;
            } else {
                ASSERT_EQ(result.Boxes.size(), 1u) << damage.What;
                EXPECT_EQ(result.Boxes[0].Text, kDamagedProgramText) << damage.What;
            }
            EXPECT_TRUE(test::ListFolder(temp_.path()).empty()) << damage.What;
            EXPECT_FALSE(PathExists(app_)) << damage.What;
        }
    }
}

// Solid blocks in the program: installed unattended, the files are those
// put in (a program through the x86 filter, identical contents once); a
// byte changed in the middle of the block is refused before any change,
// by the program's check of its payload.
TEST_F(ProgramRun, ASolidProgramInstallsAndADamagedBlockIsRefusedBeforeAnyChange) {
    const std::vector<std::uint8_t> engine = test::ReadFileBytes(test::EngineFolder() + "\\Setup.exe");
    WriteProgram({{"{app}\\程序.exe", engine}, {"{app}\\数据.bin", content_}, {"{app}\\副本.bin", content_}}, true);
    ASSERT_EQ(data_.FileMembers, (std::vector<std::uint32_t>{0, 1, 1}));
    ASSERT_EQ(Silently(), exit_code::Success);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), engine);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\数据.bin"), content_);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\副本.bin"), content_);

    std::vector<std::uint8_t> damaged = test::ReadFileBytes(program());
    damaged[static_cast<std::size_t>(locator_.FileDataOffset + locator_.PayloadEnd()) / 2] ^= 0x01;
    test::WriteFileBytes(program(), damaged);
    const std::string other = apps_.file("另一个");
    test::ChildRun run;
    run.Program = program();
    run.CommandLine = "\"" + program() + "\" /VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + other + "\"";
    run.Environment = {{"TMP", temp_.path()}, {"TEMP", temp_.path()}};
    const test::ChildResult result = test::RunChild(run);
    EXPECT_EQ(result.ExitCode, exit_code::FatalError);
    EXPECT_TRUE(test::ListFolder(temp_.path()).empty());
    EXPECT_FALSE(PathExists(other));
}

// Windows lets a running program be renamed and another put under its
// name while its wizard waits; the installation would then read the other
// file's data. Held from the start, the program cannot be renamed.
TEST_F(ProgramRun, TheProgramCannotBeRenamedWhileItsWizardWaits) {
    WriteProgram({{"{app}\\程序.exe", content_}});
    ASSERT_TRUE(Launch(""));
    ASSERT_TRUE(test::WaitForWindow(pid_, "欢迎", 30000));
    EXPECT_FALSE(MoveFileW(Widen(program()).c_str(), Widen(program() + ".old").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 10000);
    EXPECT_TRUE(FileExists(program()));
}

}  // namespace
}  // namespace qv
