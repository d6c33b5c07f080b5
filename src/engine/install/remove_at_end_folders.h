// The folders made to be removed when setup ends (DirsToRemoveAtEnd) have no
// entry in the undo log. A rollback must not leave them for the end of the
// run: while one still stands, the folder that holds it, such as the
// application folder, cannot go, and stays behind empty. So they go as soon
// as they are empty, before the rollback reaches the folders around them.
#pragma once

#include <string>
#include <vector>

#include "engine/undo/undo_observer.h"

namespace qv {

class TRemoveAtEndFoldersSweep final : public IUndoObserver {
public:
    // `folders` is the run's list; a folder removed here leaves it.
    explicit TRemoveAtEndFoldersSweep(std::vector<std::string>& folders) : folders_(folders) {}

    // Removes every listed folder that is empty now, innermost (latest made) first.
    void Sweep();
    // After each undone entry: what it emptied goes before the next entry.
    void EntryUndone(const TUndoEntryResult&) override { Sweep(); }

private:
    std::vector<std::string>& folders_;
};

}  // namespace qv
