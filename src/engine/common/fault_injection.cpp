#include "engine/common/fault_injection.h"

#include <windows.h>

namespace qv {

namespace {

// One run of the program, one thread: plain values do.
TFaultPlan plan;
std::uint32_t changes = 0;
std::uint32_t pumps = 0;
std::uint32_t records = 0;
std::uint32_t undoneFacts = 0;

// As a crash or the Task Manager would end it: no destructor, no rollback,
// no flush of anything not yet written.
[[noreturn]] void EndAtOnce() {
    TerminateProcess(GetCurrentProcess(), kKilledByPlanExitCode);
    ExitProcess(kKilledByPlanExitCode);  // not reached: TerminateProcess on itself does not return
}

}  // namespace

void SetFaultPlan(const TFaultPlan& newPlan) {
    plan = newPlan;
    changes = 0;
    pumps = 0;
    records = 0;
    undoneFacts = 0;
}

bool FaultStrikesAtChange() {
    if (++changes == plan.At && plan.Point == TFaultPoint::Kill) EndAtOnce();
    return changes == plan.At && plan.Point == TFaultPoint::Change;
}

void CountJournalRecords(std::uint32_t count) {
    const std::uint32_t first = records + 1;
    records += count;
    if (plan.Point == TFaultPoint::KillBefore && plan.At >= first && plan.At <= records) EndAtOnce();
}

void CountUndoneFact() {
    if (++undoneFacts == plan.At && plan.Point == TFaultPoint::KillInUndo) EndAtOnce();
}

bool FaultStrikesAtPump() { return ++pumps == plan.At && plan.Point == TFaultPoint::Pump; }

std::uint32_t ChangesCounted() { return changes; }
std::uint32_t PumpsCounted() { return pumps; }
std::uint32_t RecordsCounted() { return records; }
std::uint32_t UndoneFactsCounted() { return undoneFacts; }

}  // namespace qv
