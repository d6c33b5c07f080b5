#include "engine/common/phase_clock.h"

#include <windows.h>

#include <string>

#include "core/text/number_text.h"
#include "engine/common/install_log.h"

namespace qv {

namespace {

struct PhaseTotals {
    TPhase Current = TPhase::Other;
    std::int64_t Since = 0;  // counter value when the current phase last began to run
    std::int64_t Ticks[static_cast<int>(TPhase::Count)] = {};
};

PhaseTotals& Totals() {
    static PhaseTotals totals;
    return totals;
}

std::int64_t Now() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Charges the time since the last switch to the running phase and runs `next`.
void SwitchTo(TPhase next) {
    PhaseTotals& totals = Totals();
    const std::int64_t now = Now();
    if (totals.Since != 0) totals.Ticks[static_cast<int>(totals.Current)] += now - totals.Since;
    totals.Since = now;
    totals.Current = next;
}

constexpr const char* kPhaseNames[] = {
    "the rest",           "the payload check", "reading the setup data", "checks before each file",
    "the rollback journal", "creating files",  "reading and inflating",  "writing files",
    "time stamps and closing", "moving files into place", "progress and the log", "the uninstall log",
};
static_assert(sizeof kPhaseNames / sizeof kPhaseNames[0] == static_cast<int>(TPhase::Count),
              "every phase has a name");

}  // namespace

TPhaseScope::TPhaseScope(TPhase phase) : outer_(Totals().Current) { SwitchTo(phase); }

TPhaseScope::~TPhaseScope() { SwitchTo(outer_); }

void LogPhaseTimes() {
    if (!InstallLogIsOpen()) return;
    SwitchTo(Totals().Current);
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return;
    std::string line = "time spent:";
    double all = 0;
    for (int i = 0; i < static_cast<int>(TPhase::Count); ++i) {
        const std::int64_t ticks = Totals().Ticks[i];
        if (ticks == 0) continue;
        const double ms = 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
        all += ms;
        line += std::string(" ") + kPhaseNames[i] + " " + DecimalTenths(ms) + " ms,";
    }
    line += " in all " + DecimalTenths(all) + " ms";
    // What went before the first phase began: the loading of the program.
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        GetSystemTimeAsFileTime(&now);
        const auto ticksOf = [](const FILETIME& t) {
            return static_cast<std::int64_t>(static_cast<std::uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime);
        };
        line += "; since the process was created " +
                DecimalTenths(static_cast<double>(ticksOf(now) - ticksOf(created)) / 10000.0) + " ms";
    }
    LogLine(line);
}

}  // namespace qv
