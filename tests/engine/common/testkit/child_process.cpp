#include "testkit/child_process.h"

#include <set>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

namespace {

// This process's environment with `changes` applied, as a sorted block.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& changes) {
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            const std::wstring entry = p;
            const std::size_t equals = entry.find(L'=', 1);  // "=C:=C:\..." entries start with "="
            if (equals != std::wstring::npos) variables[entry.substr(0, equals)] = entry.substr(equals + 1);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        // Names are case-insensitive.
        for (auto it = variables.begin(); it != variables.end();)
            it = _wcsicmp(it->first.c_str(), Widen(name).c_str()) == 0 ? variables.erase(it) : std::next(it);
        variables[Widen(name)] = Widen(value);
    }
    std::wstring out;
    for (const auto& [name, value] : variables) out += name + L"=" + value + L'\0';
    out += L'\0';
    return out;
}

// The child's standard output and error go to a temporary file, never to a
// pipe: a process the child starts may inherit the handle and keep it open
// for as long as it lives (Wine's desktop process, started by the first
// program of a session that needs the desktop, takes that program's
// standard error), and a read from a pipe would wait for its end. A file
// is read up to what was written once the child has ended; the file goes
// with its last handle.
UniqueHFile OutputFile() {
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"qvo", 0, name)) return {};
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return UniqueHFile(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string ReadWhole(HANDLE file) {
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    return text;
}

}  // namespace

ChildResult RunChild(const ChildRun& run) {
    ChildResult result;
    const UniqueHFile output = OutputFile();
    if (!output) return result;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = Widen(run.CommandLine);
    std::wstring environment = EnvironmentBlock(run.Environment);
    const std::wstring folder = Widen(run.WorkingFolder);
    if (!StartProcess(Widen(run.Program).c_str(), commandLine, TRUE, CREATE_UNICODE_ENVIRONMENT, environment.data(),
                      folder.empty() ? nullptr : folder.c_str(), startup, info))
        return result;
    result.Started = true;
    const UniqueHandle process(info.hProcess), thread(info.hThread);

    std::set<HWND> answered;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process.get(), 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > run.TimeoutMs) {
            result.TimedOut = true;
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
            break;
        }
        HWND box = FindMessageBox(info.dwProcessId);
        if (box && answered.insert(box).second) {
            Sleep(100);  // let the box finish painting its text
            result.Boxes.push_back(ReadMessageBox(box));
            PressButton(box, IDOK);
        }
    }
    GetExitCodeProcess(process.get(), &result.ExitCode);
    result.Output = ReadWhole(output.get());
    return result;
}

}  // namespace qv::test
