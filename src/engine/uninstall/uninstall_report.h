// What an uninstall left behind, gathered entry by entry while the undo log
// runs, and told to the user and in the exit code. Things that were to go
// and did not are failures (1603); files in use go at the next restart
// (3010); folders that still hold files nobody recorded stay by rule, and
// are only mentioned.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/undo/undo_observer.h"

namespace qv {

// The user's words for what an entry stands for: "文件 C:\App\a.dll",
// "注册表键 HKEY_CURRENT_USER\Software\App", ...
std::string ChangeEntryObjectText(const TChangeEntry& entry);

class TUninstallReport final : public IUndoObserver {
public:
    struct Remaining {
        std::string What;  // ChangeEntryObjectText, or the log file
        std::string Why;   // the system's text of the error, or the reason in words
    };

    // Called after each entry, for the progress window.
    std::function<void(const TUndoEntryResult&)> OnEntry;

    void EntryUndone(const TUndoEntryResult& result) override;
    // An entry that was not acted on at all (its data was cut in the log).
    void NotActedOn(const TChangeEntry& entry, const std::string& why);
    void Failed(const std::string& what, const std::string& why);
    // After the last step: the recorded folders that are still there and
    // do not go at the restart are kept ones.
    void CollectKeptFolders();

    const std::vector<Remaining>& Failures() const { return failures_; }
    const std::vector<std::string>& AtRestart() const { return atRestart_; }
    const std::vector<std::string>& KeptFolders() const { return keptFolders_; }

    unsigned ExitCode() const;
    // The closing message, with at most `maxItems` items in each list.
    std::string MessageText(const std::string& appName, std::size_t maxItems = 15) const;

private:
    std::vector<Remaining> failures_;
    std::vector<std::string> atRestart_;
    std::vector<std::string> recordedFolders_;  // newest first
    std::vector<std::string> keptFolders_;
};

}  // namespace qv
