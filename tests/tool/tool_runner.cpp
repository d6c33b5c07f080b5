#include "tool_runner.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "tool/platform.h"

#ifdef _WIN32
#include <windows.h>

#include "testkit/start_process.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qv::test {

namespace fs = std::filesystem;

namespace {

fs::path CaptureFile(const char* stream) {
    static std::mt19937 random(std::random_device{}());
    return fs::temp_directory_path() / ("qvtool-" + std::to_string(random()) + "." + stream);
}

std::string TakeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    std::error_code ignored;
    fs::remove(path, ignored);
    return text.str();
}

#ifdef _WIN32
constexpr DWORD kToolTimeoutMs = 5 * 60 * 1000;

std::wstring Wide(const std::string& utf8) { return tool::PathFromUtf8(utf8).wstring(); }

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE InheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

}  // namespace

fs::path ProgramFolder() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
#else
    return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

fs::path ScriptSource(const std::string& name) { return fs::path(QV_TOOL_TEST_SCRIPTS) / tool::PathFromUtf8(name); }

fs::path QvsetupProgram() {
#ifdef _WIN32
    return ProgramFolder() / "qvsetup.exe";
#else
    return ProgramFolder() / "qvsetup";
#endif
}

ToolRun RunQvsetup(const std::vector<std::string>& args) { return RunQvsetupAt(QvsetupProgram(), args); }

ToolRun RunQvsetupAt(const fs::path& program, const std::vector<std::string>& args) {
    const fs::path outPath = CaptureFile("out"), errPath = CaptureFile("err");
    ToolRun run;
#ifdef _WIN32
    std::wstring commandLine = QuoteArgument(program.wstring());
    for (const auto& arg : args) commandLine += L" " + QuoteArgument(Wide(arg));
    HANDLE out = InheritableFile(outPath), err = InheritableFile(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = test::StartProcess(program.c_str(), commandLine, TRUE, 0, nullptr, nullptr, startup, process);
    const DWORD startError = started ? 0 : GetLastError();
    CloseHandle(out);
    CloseHandle(err);
    if (!started)
        throw std::runtime_error("cannot start " + program.string() + ": error " + std::to_string(startError));
    // A program that never ends fails its test by name instead of holding
    // the whole suite until ctest's own limit.
    const bool ended = WaitForSingleObject(process.hProcess, kToolTimeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!ended) throw std::runtime_error(program.string() + " did not end within " +
                                         std::to_string(kToolTimeoutMs / 1000) + " s");
    run.Status = static_cast<int>(status);
#else
    const std::string path = program.string();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + path);
    int status = 0;
    waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.Out = TakeFile(outPath);
    run.Err = TakeFile(errPath);
    return run;
}

}  // namespace qv::test
