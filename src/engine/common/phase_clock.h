// Where a run's time goes, for the last lines of its log: each phase's own
// time, measured with the performance counter. Phases nest: a phase begun
// inside another stops the other's clock until it ends, so the figures add
// up to the time measured and none is counted twice. Without a log nothing
// is printed and the cost is two reads of the counter per phase.
//
//   { TPhaseScope scope(TPhase::MoveIntoPlace); MoveFileW(...); }
//   ...
//   LogPhaseTimes();   // "time spent: reading the setup data 31.0 ms, ..."
#pragma once

#include <cstdint>

namespace qv {

enum class TPhase : std::uint8_t {
    Other,          // whatever no phase below names: start-up, windows, the steps after the files
    PayloadCheck,   // a one-file program's check of its own payload
    SetupData,      // reading and checking SETUP.0
    FileChecks,     // per file: the existing file, its folder, the temporary file's name
    Journal,        // the rollback journal's records and flushes
    CreateTemporary, // creating the temporary file (not CreateFile: that is a macro of <windows.h>)
    Decompress,     // reading the data files and inflating
    WriteFile,      // writing the inflated bytes
    CloseFile,      // the installed file's time stamps and its closing
    MoveIntoPlace,  // the temporary file renamed to its place, a replaced one moved aside
    Progress,       // the gauge, the message pump and the install log's lines of the files
    UndoLog,        // the uninstall log's entries
    Count
};

class TPhaseScope {
public:
    explicit TPhaseScope(TPhase phase);
    ~TPhaseScope();
    TPhaseScope(const TPhaseScope&) = delete;
    TPhaseScope& operator=(const TPhaseScope&) = delete;

private:
    TPhase outer_;
};

// One log line with every phase that took time, in milliseconds, from the
// first scope to now.
void LogPhaseTimes();

}  // namespace qv
