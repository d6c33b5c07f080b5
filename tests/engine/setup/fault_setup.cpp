// The real Setup.exe with a fault on purpose, for the rollback sweep: the
// variable QV_TEST_FAULT says where the run goes wrong, "change:N" (the
// N-th recorded change fails), "cancel:N" (the user confirms Cancel at
// the N-th pump of the install window), "kill:N" (the process ends at once
// right after the N-th change), "killbefore:N" (right after the N-th
// journal record is on disk, before its change) or "killundo:N" (right
// after a rollback or recovery marked its N-th fact undone); without it
// the run is Setup.exe's own. When QV_TEST_FAULT_COUNTS names a file, the
// run writes there how many changes, pumps, journal records and facts
// undone it had ("changes C pumps P records R undone U"), so that a test
// knows the range of N from a clean run. QV_TEST_JOURNAL_FLUSH=0 leaves out the journal's flushes, for the
// benchmark that measures what they cost.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "engine/common/exit_codes.h"
#include "engine/common/fault_injection.h"
#include "engine/common/system_library.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/library_registration.h"
#include "engine/journal/journal_file.h"
#include "engine/setup/run_setup.h"
#include "engine/setup/setup_stages.h"

namespace qv {
namespace {

// The paths may be anything the file system takes: read in UTF-16.
std::optional<std::string> Variable(const wchar_t* name) {
    wchar_t value[4096];
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    if (length == 0 || length >= 4096) return std::nullopt;
    return Narrow(value);
}

// "change:N", "cancel:N", "kill:N", "killbefore:N" or "killundo:N" with N from 1; false
// for anything else.
bool ParsePlan(const std::string& text, TFaultPlan& plan) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    const std::string point = text.substr(0, colon), number = text.substr(colon + 1);
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    plan.At = static_cast<std::uint32_t>(std::stoul(number));
    if (point == "change") plan.Point = TFaultPoint::Change;
    else if (point == "cancel") plan.Point = TFaultPoint::Pump;
    else if (point == "kill") plan.Point = TFaultPoint::Kill;
    else if (point == "killbefore") plan.Point = TFaultPoint::KillBefore;
    else if (point == "killundo") plan.Point = TFaultPoint::KillInUndo;
    else return false;
    return plan.At >= 1;
}

void WriteCounts(const std::string& fileName) {
    const std::string text =
        "changes " + std::to_string(ChangesCounted()) + " pumps " + std::to_string(PumpsCounted()) + " records " +
        std::to_string(RecordsCounted()) + " undone " + std::to_string(UndoneFactsCounted()) + "\n";
    try {
        WinFileOutStream file(fileName);
        file.Write(text.data(), text.size());
        file.Close();
    } catch (const std::exception& error) {
        // The test finds no counts and says so; the run's own code stands.
        std::fprintf(stderr, "cannot write the counts to %s: %s\n", fileName.c_str(), error.what());
    }
}

}  // namespace
}  // namespace qv

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::RestrictLibrarySearch();  // as Setup.exe does
    // As Setup.exe: the library registration's child runs no plan and counts nothing.
    if (const auto code = qv::ServeLibraryRegistrationIfAsked()) return static_cast<int>(*code);
    if (const std::optional<std::string> fault = qv::Variable(L"QV_TEST_FAULT")) {
        qv::TFaultPlan plan;
        if (!qv::ParsePlan(*fault, plan)) {
            // A plan misread would run a real installation unplanned.
            std::fprintf(stderr,
                         "QV_TEST_FAULT must be \"change:N\", \"cancel:N\", \"kill:N\", \"killbefore:N\" or \"killundo:N\" with N "
                         "from 1, not \"%s\"\n",
                         fault->c_str());
            return static_cast<int>(qv::exit_code::FatalError);
        }
        qv::SetFaultPlan(plan);
    }
    if (qv::Variable(L"QV_TEST_JOURNAL_FLUSH") == std::optional<std::string>("0")) qv::TJournalFile::SkipFlushes(true);
    const unsigned exitCode = qv::RunSetup(qv::DefaultSetupStages());
    if (const std::optional<std::string> counts = qv::Variable(L"QV_TEST_FAULT_COUNTS")) qv::WriteCounts(*counts);
    return static_cast<int>(exitCode);
}
