#include "progman/stand_in.h"

#include <atomic>
#include <stdexcept>

#include "engine/common/win_text.h"
#include "testkit/start_process.h"

namespace qv::test {

namespace {

constexpr DWORD kStartTimeoutMs = 60000;

std::wstring EventName(const char* purpose) {
    static std::atomic<unsigned> counter{0};
    return Widen("Local\\qv-progman-stand-in-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount()) + "-" + std::to_string(++counter) + "-" + purpose);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

ProgmanStandIn::ProgmanStandIn() {
    progman::WriteWholeFile(folder_.file(progman::kControlFile), progman::WriteControl({}));
    const std::wstring readyName = EventName("ready");
    ready_.reset(CreateEventW(nullptr, FALSE, FALSE, readyName.c_str()));
    if (!ready_) throw std::runtime_error("cannot create the stand-in's ready event");

    const std::wstring program = Widen(ProgramFolder() + "\\progman_stand_in.exe");
    // Once more after a stand-in that did not come up: Wine now and then
    // refuses a new process its first window (seen once in many suite
    // runs), and a stand-in that never came up has answered nothing.
    for (int attempt = 0;; ++attempt) {
        std::wstring commandLine = Quoted(program) + L" " + Quoted(Widen(folder_.path())) + L" " + readyName;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!StartProcess(program.c_str(), commandLine, FALSE, 0, nullptr, Widen(ProgramFolder()).c_str(), startup,
                          info))
            throw std::runtime_error("cannot start " + Narrow(program) + " (error " + std::to_string(GetLastError()) +
                                     ")");
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        threadId_ = info.dwThreadId;
        try {
            WaitUntilReady("start");
            return;
        } catch (const std::runtime_error&) {
            if (attempt == 1) throw;
        }
    }
}

ProgmanStandIn::~ProgmanStandIn() {
    if (!process_) return;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
}

void ProgmanStandIn::WaitUntilReady(const char* what) {
    const HANDLE handles[] = {ready_.get(), process_.get()};
    const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, kStartTimeoutMs);
    if (woke == WAIT_OBJECT_0) return;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    if (woke != WAIT_OBJECT_0 + 1) TerminateProcess(process_.get(), 1);
    process_.reset();
    throw std::runtime_error(std::string("the stand-in Program Manager did not come up (") + what +
                             (woke == WAIT_OBJECT_0 + 1 ? ", exit code " + std::to_string(code) : ", no answer") + ")");
}

void ProgmanStandIn::Reset(const std::vector<Group>& groups, const Behaviour& behaviour) {
    if (!process_) throw std::runtime_error("the stand-in Program Manager is not running");
    progman::WriteWholeFile(folder_.file(progman::kControlFile), progman::WriteControl({behaviour, groups}));
    if (!PostThreadMessageW(threadId_, progman::kResetMessage, 0, 0))
        throw std::runtime_error("cannot reach the stand-in Program Manager");
    WaitUntilReady("reset");
}

std::vector<Transaction> ProgmanStandIn::Transactions() const {
    return progman::ReadTransactions(progman::ReadWholeFile(folder_.file(progman::kTransactionsFile)));
}

std::vector<Transaction> ProgmanStandIn::Transactions(const std::string& kind) const {
    std::vector<Transaction> kept;
    for (Transaction& t : Transactions())
        if (t.Kind == kind) kept.push_back(std::move(t));
    return kept;
}

std::vector<std::string> ProgmanStandIn::Commands() const {
    std::vector<std::string> texts;
    for (const Transaction& t : Transactions("execute")) texts.push_back(CommandText(t));
    return texts;
}

std::vector<Group> ProgmanStandIn::Groups() const {
    return progman::ReadGroups(progman::ReadWholeFile(folder_.file(progman::kGroupsFile)));
}

}  // namespace qv::test
