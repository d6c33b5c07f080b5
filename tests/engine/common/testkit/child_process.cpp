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

}  // namespace

ChildResult RunChild(const ChildRun& run) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 1 << 20)) return result;
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = Widen(run.CommandLine);
    std::wstring environment = EnvironmentBlock(run.Environment);
    const std::wstring folder = Widen(run.WorkingFolder);
    if (!CreateProcessW(Widen(run.Program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), folder.empty() ? nullptr : folder.c_str(),
                        &startup, &info))
        return result;
    result.Started = true;
    const UniqueHandle process(info.hProcess), thread(info.hThread);
    writeEnd.reset();

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

    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) result.Output.append(buffer, got);
    return result;
}

}  // namespace qv::test
