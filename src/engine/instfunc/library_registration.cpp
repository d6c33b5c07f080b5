#include "engine/instfunc/library_registration.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/common/format_text.h"
#include "engine/common/full_path.h"
#include "engine/common/path_tests.h"
#include "engine/common/process_command_line.h"
#include "engine/common/system_library.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "core/text/number_text.h"

namespace qv {

namespace {

constexpr char kRegisterSwitch[] = "/QVSELFREG";
constexpr char kUnregisterSwitch[] = "/QVSELFUNREG";

// The child's exit code:
//   kAnswer + n        its own answers below ("QV" in the high word);
//   0x8xxxxxxx-0xBxxxxxxx  the function's failure status (a status whose
//                      reserved bit 30 is set arrives with it cleared);
//   anything else      no answer: an exception code (0xCxxxxxxx, as the
//                      crash filter ends the child) or whatever code the
//                      library ended the process with.
constexpr DWORD kAnswer = 0x51560000;
constexpr DWORD kAnswerDone = kAnswer + 0;
constexpr DWORD kAnswerNotLoaded = kAnswer + 1;
constexpr DWORD kAnswerNoExport = kAnswer + 2;
constexpr DWORD kAnswerBadRequest = kAnswer + 3;
// The switch without the parent's request: started by hand, or by anybody
// who would use a signed program to load his library. Nothing is loaded.
constexpr DWORD kAnswerNotAsked = kAnswer + 4;
constexpr DWORD kSeverityBits = 0xC0000000;
constexpr DWORD kFailureSeverity = 0x80000000;
constexpr DWORD kErrorSeverity = 0xC0000000;
constexpr DWORD kReservedStatusBit = 0x40000000;
// STATUS_UNHANDLED_EXCEPTION: an exception code of another severity (a
// breakpoint, 0x80000003) would read as a failure status.
constexpr DWORD kUnhandledException = 0xC0000144;

std::string& ProgramForTests() {
    static std::string program;
    return program;
}
bool ownProgramServes = false;

// The child: what it answers once the call is made, so that a crash while
// the library is freed changes nothing of it. 0 until then.
volatile LONG decidedAnswer = 0;

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* exception) {
    DWORD code = static_cast<DWORD>(decidedAnswer);
    if (code == 0) {
        code = exception && exception->ExceptionRecord ? exception->ExceptionRecord->ExceptionCode : 0;
        if ((code & kSeverityBits) != kErrorSeverity) code = kUnhandledException;
    }
    // No debugger, no report box, no unwinding through the library's code.
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD CallLibrary(const std::string& library, TLibraryCall call) {
    if (!IsFullPath(library)) return kAnswerBadRequest;
    // Libraries may need COM in their call, as they had it in the setup's
    // own process before.
    const ComInitialization com = InitializeCom();
    // The library's own folder is searched first for what it needs, as
    // the system's registration tool does, then the system folder; never
    // the folder this program was started from.
    const HMODULE module = LibraryAtPath(Widen(library));
    if (!module) return kAnswerNotLoaded;
    using ServerProc = HRESULT(STDAPICALLTYPE*)();
    const auto function = reinterpret_cast<ServerProc>(reinterpret_cast<void*>(
        GetProcAddress(module, call == TLibraryCall::Register ? "DllRegisterServer" : "DllUnregisterServer")));
    DWORD answer = kAnswerNoExport;
    if (function) {
        const HRESULT result = function();
        answer = result >= 0 ? kAnswerDone : static_cast<DWORD>(result) & ~kReservedStatusBit;
    }
    InterlockedExchange(&decidedAnswer, static_cast<LONG>(answer));
    FreeLibrary(module);
    return answer;
}

// The request travels in an anonymous shared memory block that the child
// inherits, named on its command line by its handle's value: a command
// line alone cannot make the child load anything.
constexpr char kRequestSignature[8] = {'Q', 'V', 'S', 'R', 'E', 'G', '1', 0};
constexpr std::size_t kRequestSize = sizeof kRequestSignature + sizeof(std::uint32_t) + 2 * 32768;

struct TRequestView {
    void* Address = nullptr;
    ~TRequestView() {
        if (Address) UnmapViewOfFile(Address);
    }
};

// The block holding `library`'s full path, inheritable; empty on failure.
UniqueHandle MakeRequest(const std::string& library) {
    const std::wstring path = Widen(FullPathOf(library));
    if (path.size() >= 32768) return {};
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    UniqueHandle block(CreateFileMappingW(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(kRequestSize), nullptr));
    if (!block) return {};
    TRequestView view{MapViewOfFile(block.get(), FILE_MAP_WRITE, 0, 0, kRequestSize)};
    if (!view.Address) return {};
    auto* bytes = static_cast<std::uint8_t*>(view.Address);
    std::memcpy(bytes, kRequestSignature, sizeof kRequestSignature);
    const auto length = static_cast<std::uint32_t>(path.size());
    std::memcpy(bytes + sizeof kRequestSignature, &length, sizeof length);
    std::memcpy(bytes + sizeof kRequestSignature + sizeof length, path.data(), path.size() * sizeof(wchar_t));
    return block;
}

// The library the parent asks for through the block whose handle value
// `handleText` gives; "" when there is no such block.
std::string RequestedLibrary(const std::string& handleText) {
    if (handleText.empty() || handleText.size() > 16 ||
        handleText.find_first_not_of("0123456789abcdef") != std::string::npos)
        return {};
    const auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(handleText, nullptr, 16)));
    TRequestView view{MapViewOfFile(handle, FILE_MAP_READ, 0, 0, 0)};
    MEMORY_BASIC_INFORMATION region{};
    if (!view.Address || !VirtualQuery(view.Address, &region, sizeof region) || region.RegionSize < kRequestSize)
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(view.Address);
    std::uint32_t length = 0;
    std::memcpy(&length, bytes + sizeof kRequestSignature, sizeof length);
    if (std::memcmp(bytes, kRequestSignature, sizeof kRequestSignature) != 0 || length == 0 || length >= 32768)
        return {};
    std::wstring path(length, L'\0');
    std::memcpy(path.data(), bytes + sizeof kRequestSignature + sizeof length, length * sizeof(wchar_t));
    CloseHandle(handle);
    return Narrow(path);
}

std::string HexOfHandle(HANDLE handle) {
    return HexDigits(reinterpret_cast<std::uintptr_t>(handle), 1, HexLetters::Lower);
}

std::string RegistrationProgram() {
    if (!ProgramForTests().empty()) return ProgramForTests();
    return ownProgramServes ? GetParam(0) : std::string();
}

// Waits for `process` to end. Messages sent to this thread are handled
// meanwhile: a child that sends one to every top-level window would wait
// for ours.
void WaitAnsweringSentMessages(HANDLE process) {
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (woken != WAIT_OBJECT_0) WaitForSingleObject(process, INFINITE);
        return;
    }
}

TSelfRegisterOutcome OutcomeOfExitCode(DWORD code) {
    TSelfRegisterOutcome outcome;
    switch (code) {
    case kAnswerDone: outcome.Stage = TSelfRegisterStage::Registered; return outcome;
    case kAnswerNoExport: outcome.Stage = TSelfRegisterStage::NoExport; return outcome;
    case kAnswerNotLoaded:
    case kAnswerBadRequest:
    case kAnswerNotAsked: outcome.Stage = TSelfRegisterStage::NotLoaded; return outcome;
    default: break;
    }
    if ((code & kSeverityBits) == kFailureSeverity) {
        outcome.Stage = TSelfRegisterStage::Failed;
        outcome.Result = static_cast<HRESULT>(code);
    } else {
        outcome.Stage = TSelfRegisterStage::Crashed;
        outcome.Code = code;
    }
    return outcome;
}

}  // namespace

TSelfRegisterOutcome CallLibraryInChild(const std::string& library, TLibraryCall call) {
    TSelfRegisterOutcome outcome;
    const std::string program = RegistrationProgram();
    if (program.empty()) {
        // A program whose entry point does not serve the switch would run
        // itself again in full.
        outcome.Stage = TSelfRegisterStage::NotStarted;
        outcome.Code = ERROR_FILE_NOT_FOUND;
        return outcome;
    }
    const UniqueHandle request = MakeRequest(library);
    if (!request) {
        outcome.Stage = TSelfRegisterStage::NotStarted;
        outcome.Code = GetLastError();
        return outcome;
    }
    std::wstring commandLine =
        Widen("\"" + program + "\" " + (call == TLibraryCall::Register ? kRegisterSwitch : kUnregisterSwitch) + " " +
              HexOfHandle(request.get()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Standard handles of none: nothing the child starts holds one of ours.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started{};
    // Starting a process can fail for a moment while the system is short of
    // something (seen as ERROR_INTERNAL_ERROR on a busy machine): a few
    // short tries before the failure becomes a question to the user.
    bool running = false;
    for (int attempt = 0; attempt < 3 && !running; ++attempt) {
        if (attempt > 0) Sleep(250);
        running = CreateProcessW(Widen(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &started) != FALSE;
    }
    if (!running) {
        outcome.Stage = TSelfRegisterStage::NotStarted;
        outcome.Code = GetLastError();
        return outcome;
    }
    const UniqueHandle process(started.hProcess), thread(started.hThread);
    WaitAnsweringSentMessages(process.get());
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) {
        outcome.Stage = TSelfRegisterStage::Crashed;
        outcome.Code = GetLastError();
        return outcome;
    }
    return OutcomeOfExitCode(code);
}

std::string LibraryCallFailureReason(const TSelfRegisterOutcome& outcome, TLibraryCall call) {
    const bool registering = call == TLibraryCall::Register;
    switch (outcome.Stage) {
    case TSelfRegisterStage::NotLoaded: return "引导库文件出错。";
    case TSelfRegisterStage::NoExport: return registering ? "DLL注册服务输出未发现。" : "DLL注销服务输出未发现。";
    case TSelfRegisterStage::Crashed:
        return FormatText(registering ? "DLL注册服务异常终止，代码 0x%.8X。" : "DLL注销服务异常终止，代码 0x%.8X。",
                          {outcome.Code});
    case TSelfRegisterStage::NotStarted:
        return FormatText(registering ? "不能启动DLL注册进程，代码 %d。" : "不能启动DLL注销进程，代码 %d。",
                          {outcome.Code});
    case TSelfRegisterStage::Failed:
    case TSelfRegisterStage::Registered: break;
    }
    return FormatText(registering ? "DLL注册服务返回 %d" : "DLL注销服务返回 %d", {static_cast<long>(outcome.Result)});
}

std::optional<unsigned> ServeLibraryRegistrationIfAsked() {
    const std::vector<std::string> params = GetParams();
    const bool registering = params.size() == 3 && params[1] == kRegisterSwitch;
    const bool unregistering = params.size() == 3 && params[1] == kUnregisterSwitch;
    if (!registering && !unregistering) {
        ownProgramServes = true;
        return std::nullopt;
    }
    // Whatever the library does, the system shows no box of its own for it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    const std::string library = RequestedLibrary(params[2]);
    if (library.empty()) return kAnswerNotAsked;
    return CallLibrary(library, registering ? TLibraryCall::Register : TLibraryCall::Unregister);
}

void UseLibraryRegistrationProgram(const std::string& program) { ProgramForTests() = program; }

}  // namespace qv
