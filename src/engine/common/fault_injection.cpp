#include "engine/common/fault_injection.h"

namespace qv {

namespace {

// One run of the program, one thread: plain values do.
TFaultPlan plan;
std::uint32_t changes = 0;
std::uint32_t pumps = 0;

}  // namespace

void SetFaultPlan(const TFaultPlan& newPlan) {
    plan = newPlan;
    changes = 0;
    pumps = 0;
}

bool FaultStrikesAtChange() { return ++changes == plan.At && plan.Point == TFaultPoint::Change; }

bool FaultStrikesAtPump() { return ++pumps == plan.At && plan.Point == TFaultPoint::Pump; }

std::uint32_t ChangesCounted() { return changes; }
std::uint32_t PumpsCounted() { return pumps; }

}  // namespace qv
