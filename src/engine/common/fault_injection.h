// Faults on purpose, for the tests that stop an installation at every point
// and judge its rollback: a plan "fail at change N" or "cancel at pump N"
// (N from 1), and the counts of both so far.
//
// The undo log counts each change it records, the install window each pump
// of its messages; each asks here whether the plan strikes now. Only a test
// program sets a plan: the Setup.exe a user runs never does, and then every
// check is a count and one comparison that never holds.
#pragma once

#include <cstdint>

namespace qv {

enum class TFaultPoint { None, Change, Pump };

struct TFaultPlan {
    TFaultPoint Point = TFaultPoint::None;
    std::uint32_t At = 0;  // the change or pump it strikes, counted from 1
};

// Replaces the plan and starts both counts again from 0.
void SetFaultPlan(const TFaultPlan& plan);

// Counts one change just recorded; true when the plan fails this one.
bool FaultStrikesAtChange();
// Counts one pump of the install window; true when the plan cancels at it.
bool FaultStrikesAtPump();

std::uint32_t ChangesCounted();
std::uint32_t PumpsCounted();

}  // namespace qv
