// Faults on purpose, for the tests that stop an installation at every point
// and judge its rollback: a plan "fail at change N", "cancel at pump N",
// "kill the process right after change N", "kill it right after journal
// record N is on disk" or "kill it right after the N-th fact of a journal's
// undo is marked undone" (N from 1), and the counts so far.
//
// The undo log counts each change it records, the install window each pump
// of its messages; each asks here whether the plan strikes now. Only a test
// program sets a plan: the Setup.exe a user runs never does, and then every
// check is a count and one comparison that never holds.
#pragma once

#include <cstdint>

namespace qv {

enum class TFaultPoint {
    None,
    Change,      // change N fails (an exception), and the run rolls back
    Pump,        // Cancel is confirmed at pump N
    Kill,        // the process ends at once, without clean-up, after change N
    KillBefore,  // the same, once journal record N is on disk and before its change
    KillInUndo,  // the same, once a rollback or recovery has marked its N-th fact undone
};

// The exit code of a process that the plan ended.
inline constexpr unsigned kKilledByPlanExitCode = 0x4B494C4Cu;

struct TFaultPlan {
    TFaultPoint Point = TFaultPoint::None;
    std::uint32_t At = 0;  // the change or pump it strikes, counted from 1
};

// Replaces the plan and starts every count again from 0.
void SetFaultPlan(const TFaultPlan& plan);

// Counts one change just recorded; true when the plan fails this one.
bool FaultStrikesAtChange();
// Counts one pump of the install window; true when the plan cancels at it.
bool FaultStrikesAtPump();

// Counts `count` journal records just flushed to the disk; the plan may end
// the process here.
void CountJournalRecords(std::uint32_t count);

// Counts one fact of a journal marked undone; the plan may end the process
// here, so that a recovery dies halfway and the next has to finish it.
void CountUndoneFact();

std::uint32_t ChangesCounted();
std::uint32_t PumpsCounted();
std::uint32_t RecordsCounted();
std::uint32_t UndoneFactsCounted();

}  // namespace qv
