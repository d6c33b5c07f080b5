// Keeping what the installation is about to replace, overwrite or delete,
// so that its rollback can put it back: written ahead to the rollback
// journal, which alone undoes it (the undo log, which carries what the
// uninstall log will, only counts the change). Replaced files wait in the run's backup
// folder, the journal's run folder, which goes with everything in it when
// the run ends; a run without a backup folder (some tests) keeps nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/install/install_context.h"

namespace qv {

// Takes the existing file at `path` out of the way of its replacement: moved
// into the backup folder (copied there when that lies on another drive,
// once the free space is known to suffice), and recorded for the rollback;
// without a backup folder it is deleted. False when the file is in use
// (opened without delete sharing, a running program): then it is as it
// was, and `error` says why. Raises Exception for any other failure, which
// the caller offers to retry.
bool ClearForReplacement(TInstallContext& context, const std::string& path, DWORD& error);

// A copy of the existing file at `path` for the rollback, once per run, for
// files that are changed in place (INI files); when there is no file, the
// rollback deletes the one the installation makes.
void KeepCopyForRollback(TInstallContext& context, const std::string& path);

// The value `name` of `subKey` as it is before the installation writes it
// (or that there is none), for the rollback.
void KeepRegValueForRollback(TInstallContext& context, std::uint32_t root, const std::string& subKey,
                             const std::string& name);

// The levels of `subKey` that do not exist yet, so that the rollback can
// remove those the installation creates: call before creating the key,
// then RecordCreatedKeys after.
class TKeyCreation {
public:
    TKeyCreation(std::uint32_t root, const std::string& subKey);
    bool Existed() const { return missing_.empty(); }
    // The levels above the key that are about to be created with it,
    // outermost first.
    std::vector<std::string> MissingParents() const;
    // The levels about to be created, to the journal: call before creating.
    void WriteAhead(TInstallContext& context) const;
    void RecordCreatedKeys(TInstallContext& context) const;

private:
    std::uint32_t root_;
    std::vector<std::string> missing_;  // outermost first
};

// The whole key tree `subKey` as it is before the installation deletes it,
// for the rollback.
void KeepKeyTreeForRollback(TInstallContext& context, std::uint32_t root, const std::string& subKey);

// The shared-file count of `path` as it is before the installation raises
// it, to the journal.
void KeepSharedCountForRollback(TInstallContext& context, const std::string& path);

}  // namespace qv
