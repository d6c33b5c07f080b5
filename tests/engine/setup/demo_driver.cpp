// The driver of `make demo`: starts Setup.exe, walks through every page of
// its wizard from outside with ordinary window messages, as a user would
// with the proposed choices, and then prints what the installation made.
//
//   demo_driver.exe SETUP_EXE [--next-disk]
//
// Then it uninstalls what it installed, as the system's list of programs
// does (the uninstall entry's command line), answering the uninstaller's
// question and closing message, and shows that the folders, the program
// group and the registry are as they were before the installation.
//
// With --next-disk the data files are expected to lack a disk: the driver
// photographs the next-disk dialog, cancels the installation and leaves.
//
// At each page it prints "shot NAME" and waits for a line on its input, so
// that the script running it can take a screenshot of the screen first.
// Everything else it prints is the report. Exit status: Setup.exe's.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "core/text/cp936.h"
#include "engine/common/win_text.h"
#include "testkit/boxes.h"
#include "testkit/start_process.h"
#include "testkit/links.h"
#include "testkit/machine_snapshot.h"
#include "testkit/scratch.h"
#include "testkit/wizard_driver.h"

namespace qv {
namespace {

using P = test::WizardPlaces;
namespace fs = std::filesystem;

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Lets the script take its screenshot of the screen as it is now.
void Shot(const std::string& name) {
    Sleep(400);  // the page painted
    Say("shot " + name);
    std::string answer;
    std::getline(std::cin, answer);
}

[[noreturn]] void Fail(const std::string& what) {
    Say("demo: " + what);
    std::exit(2);
}

void NextTo(const test::WizardDriver& wizard, const std::string& caption) {
    wizard.Press(P::Next);
    if (!wizard.WaitForCaption(caption, 60000)) Fail("expected the page \"" + caption + "\", at \"" + wizard.Caption() + "\"");
}

using test::ShellFolder;

std::string RegistryValues(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "    (missing)\n";
    std::string out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        BYTE data[2048];
        size = sizeof data;
        if (RegEnumValueW(k, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string value;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            value = "\"" + Narrow(reinterpret_cast<const wchar_t*>(data)) + "\"";
        else if (type == REG_DWORD)
            value = std::to_string(*reinterpret_cast<const DWORD*>(data)) + " (dword)";
        else
            value = "(" + std::to_string(size) + " bytes of type " + std::to_string(type) + ")";
        out += "    " + Narrow(name) + " = " + value + "\n";
    }
    RegCloseKey(k);
    return out;
}

// The next-disk dialog, photographed; then the user gives up.
int CancelAtTheNextDisk(const PROCESS_INFORMATION& pi) {
    HWND dialog = test::WaitForWindow(pi.dwProcessId, "设置程序需要下一张磁盘", 120000);
    if (!dialog) Fail("no next-disk dialog");
    Shot("07-next-disk");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    if (HWND question = test::WaitForMessageBox(pi.dwProcessId, 10000)) {
        Shot("07b-exit-question");
        test::PressButton(question, IDYES);
    }
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    Say("Setup.exe exit code: " + std::to_string(code) + " (cancelled at the next disk)");
    return static_cast<int>(code);
}

// What the example's installation touches, as text: the application
// folder, the program group, its registry key with the vendor's key it
// makes on the way, and its uninstall entries.
std::string Machine(const std::string& app, const std::string& group) {
    std::string text = "application folder:\n" + test::FolderSnapshot(app);
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
        text += "program group:\n" + test::FolderSnapshot(ShellFolder(csidl) + "\\" + group);
    text += test::RegistrySnapshot(HKEY_CURRENT_USER, "Software\\QV Setup");
    const std::string uninstallParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(uninstallParent).c_str(), 0, KEY_READ, &parent) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0; RegEnumKeyW(parent, i, name, 256) == ERROR_SUCCESS; ++i)
            if (Narrow(name).rfind("你好 1.0_qv", 0) == 0)
                text += test::RegistrySnapshot(HKEY_LOCAL_MACHINE, uninstallParent + "\\" + Narrow(name));
        RegCloseKey(parent);
    }
    return text;
}

// The uninstall entry whose command line names `uninstallLog`.
std::string UninstallCommandFor(const std::string& uninstallLog) {
    const std::string uninstallParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY parent = nullptr;
    std::string found;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(uninstallParent).c_str(), 0, KEY_READ, &parent) != ERROR_SUCCESS)
        return found;
    wchar_t name[256];
    for (DWORD i = 0; found.empty() && RegEnumKeyW(parent, i, name, 256) == ERROR_SUCCESS; ++i) {
        wchar_t command[2048] = {};
        DWORD size = sizeof command - sizeof(wchar_t);
        if (RegGetValueW(parent, name, L"UninstallString", RRF_RT_REG_SZ, nullptr, command, &size) == ERROR_SUCCESS &&
            Narrow(command).find("\"" + uninstallLog + "\"") != std::string::npos)
            found = Narrow(command);
    }
    RegCloseKey(parent);
    return found;
}

// Answers the uninstaller's next box with `button`, photographed first.
std::string AnswerBox(const PROCESS_INFORMATION& pi, const std::string& shot, int button) {
    HWND box = test::WaitForMessageBox(pi.dwProcessId, 60000);
    if (!box) Fail("the uninstaller showed no box for " + shot);
    const std::string text = test::ReadMessageBox(box).Text;
    Shot(shot);
    test::PressButton(box, button);
    for (int i = 0; i < 300 && IsWindow(box); ++i) Sleep(10);
    return text;
}

int Uninstall(const std::string& uninstallLog, const std::string& before, const std::string& app,
              const std::string& group) {
    const std::string command = UninstallCommandFor(uninstallLog);
    if (command.empty()) Fail("no uninstall entry names " + uninstallLog);
    Say("\nUninstalling, as the list of programs does:\n    " + command);
    PROCESS_INFORMATION pi{};
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = Widen(command);
    if (!test::StartProcess(nullptr, commandLine, FALSE, 0, nullptr, nullptr, si, pi))
        Fail("cannot start the uninstaller");
    CloseHandle(pi.hThread);
    Say("  " + AnswerBox(pi, "10-uninstall-question", IDYES) + " 是");
    Say("  " + AnswerBox(pi, "11-uninstall-done", IDOK));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    Say(test::UninstallerName() + " exit code: " + std::to_string(code));
    const std::string after = Machine(app, group);
    if (after == before) {
        Say("The application folder, the program group, the registry key and the uninstall entry are as they were "
            "before the installation.");
    } else {
        Say("Not as before the installation. Before:\n" + before + "After:\n" + after);
        return 1;
    }
    return static_cast<int>(code);
}

int Run(const std::string& setupExe, bool nextDisk) {
    PROCESS_INFORMATION pi{};
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = Widen("\"" + setupExe + "\"");
    if (!test::StartProcess(nullptr, commandLine, FALSE, 0, nullptr, nullptr, si, pi))
        Fail("cannot start " + setupExe);
    CloseHandle(pi.hThread);

    HWND window = test::WaitForWindow(pi.dwProcessId, "欢迎", 60000);
    if (!window) Fail("the wizard did not appear");
    const test::WizardDriver wizard(window);
    Say("Setup.exe: the wizard is open");
    Shot("01-welcome");
    NextTo(wizard, "许可协议");
    Shot("02-license");
    Say("  licence accepted (是)");
    NextTo(wizard, "信息");
    Shot("03-info-before");
    NextTo(wizard, "选择目标文件夹");
    Shot("04-folder");
    const std::string app = test::TextOf(wizard.At(P::DirEdit));
    Say("  folder: " + app);
    wizard.Press(P::Next);
    // Installed by an earlier demo: the folder exists, and the question says so.
    for (int i = 0; i < 40 && wizard.Caption() == "选择目标文件夹"; ++i) {
        if (HWND box = test::FindMessageBox(pi.dwProcessId)) {
            Shot("04b-folder-exists");
            Say("  the folder exists from an earlier demo: 是, install into it again");
            test::PressButton(box, IDYES);
            break;
        }
        Sleep(50);
    }
    if (!wizard.WaitForCaption("选择程序组文件夹", 20000)) Fail("no group page");
    Shot("05-group");
    const std::string group = test::TextOf(wizard.At(P::GroupEdit));
    Say("  program group: " + group);
    NextTo(wizard, "准备安装");
    Shot("06-ready");
    const std::string before = Machine(app, group);
    wizard.Press(P::Next);
    Say("  installing");
    if (nextDisk) return CancelAtTheNextDisk(pi);
    // The progress window, when the copy is large enough to be seen going.
    if (HWND progress = test::WaitForWindow(pi.dwProcessId, "设置", 5000)) {
        Sleep(300);
        if (IsWindowVisible(progress)) Shot("07-progress");
    }
    // The example runs its program when the installation is done: its greeting.
    if (HWND hello = test::WaitForWindow(0, "你好", 60000)) {
        Shot("08-program-runs");
        Say("  the installed program runs and greets: OK");
        test::PressButton(hello, IDOK);
    }
    if (!wizard.WaitForCaption("设置完成", 60000)) Fail("no finished page, at \"" + wizard.Caption() + "\"");
    Shot("09-finished");
    // The readme would open an editor and keep the demo waiting.
    HWND readme = wizard.At(P::ShowReadme);
    if (test::Checked(readme)) SendMessageW(readme, BM_CLICK, 0, 0);
    Say("  finished: readme not shown, 完成");
    wizard.Press(P::Next);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    Say("Setup.exe exit code: " + std::to_string(code));

    Say("\nFiles in " + app + ":");
    std::string uninstallLog;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(Widen(app)), ec)) {
        const std::string path = Narrow(entry.path().wstring());
        if (entry.is_directory()) {
            Say("    " + path + "\\");
            continue;
        }
        Say("    " + path + "  (" + std::to_string(entry.file_size()) + " bytes)");
        const std::string name = Narrow(entry.path().filename().wstring());
        if (name.rfind("UNINST1.", 0) == 0 && (uninstallLog.empty() || path > uninstallLog)) uninstallLog = path;
    }
    Say("\nLinks in the program group \"" + group + "\":");
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::string folder = ShellFolder(csidl) + "\\" + group;
        for (const auto& entry : fs::directory_iterator(fs::path(Widen(folder)), ec)) {
            const std::string path = Narrow(entry.path().wstring());
            const test::LinkFields link = test::ReadLink(path);
            Say("    " + path + "\n      -> " + link.Target + (link.Arguments.empty() ? "" : " " + link.Arguments) +
                (link.StartFolder.empty() ? "" : "   (in " + link.StartFolder + ")"));
        }
    }
    Say("\n" + app + "\\hello.ini:");
    const std::vector<std::uint8_t> ini = test::ReadFileBytes(app + "\\hello.ini");
    std::string iniText = cp936::ToUtf8(std::string(ini.begin(), ini.end()));
    for (std::size_t at = 0; (at = iniText.find('\n', at)) != std::string::npos && at + 1 < iniText.size(); at += 5)
        iniText.insert(at + 1, "    ");
    Say("    " + iniText);
    Say("Registry HKEY_CURRENT_USER\\Software\\QV Setup\\Hello:");
    std::fputs(RegistryValues(HKEY_CURRENT_USER, "Software\\QV Setup\\Hello").c_str(), stdout);
    // Each installation of the same version has an entry of its own.
    const std::string uninstallParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(uninstallParent).c_str(), 0, KEY_READ, &parent) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0; RegEnumKeyW(parent, i, name, 256) == ERROR_SUCCESS; ++i) {
            const std::string key = Narrow(name);
            if (key.rfind("你好 1.0_qv", 0) != 0) continue;
            Say("Uninstall entry HKEY_LOCAL_MACHINE\\" + uninstallParent + "\\" + key + ":");
            std::fputs(RegistryValues(HKEY_LOCAL_MACHINE, uninstallParent + "\\" + key).c_str(), stdout);
        }
        RegCloseKey(parent);
    }
    if (code != 0 || uninstallLog.empty()) return static_cast<int>(code);
    // A copy for `qvsetup log`: the uninstaller deletes the log itself.
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::string copy = Narrow(temp) + "QV demo uninstall log.bin";
    if (CopyFileW(Widen(uninstallLog).c_str(), Widen(copy).c_str(), FALSE)) Say("uninstall-log " + copy);
    return Uninstall(uninstallLog, before, app, group);
}

}  // namespace
}  // namespace qv

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const bool nextDisk = argc == 3 && std::wstring(argv[2]) == L"--next-disk";
    if (argc != 2 && !nextDisk) {
        std::fputs("usage: demo_driver.exe SETUP_EXE [--next-disk]\n", stderr);
        return 2;
    }
    CoInitialize(nullptr);
    return qv::Run(qv::Narrow(argv[1]), nextDisk);
}
