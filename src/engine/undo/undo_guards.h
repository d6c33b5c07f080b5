// What undoing may touch, whatever the log or the rollback's entries say.
// An uninstall log lies in a folder its user can write and is obeyed by an
// uninstaller that may run with administrator rights: it must not be able
// to remove the system's folders or keys, reach them through a path that
// reads otherwise, or through a link somebody put on the way. A rollback
// keeps the same rules, as a guard against its own mistakes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/uninstall/undo_guard_rules.h"
#include "core/uninstall/uninstall_log.h"
#include "engine/common/win_handles.h"

namespace qv {

// Why an entry, or a part of it, is left alone: for the installation log
// and in the user's words.
struct TRefusal {
    std::string Reason;
    std::string UserReason;
    explicit operator bool() const { return !Reason.empty(); }
};

// The system's folders: drive roots, the Windows and system folders, the
// Program Files and Common Files folders (every view), the user's profile,
// the shell's folders (desktop, start menu, programs, startup; the user's
// and the common ones), the temporary folder. Gathered once.
class TProtectedPlaces {
public:
    TProtectedPlaces();
    // `path` (a full path) is one of them or holds one, in any spelling
    // that leads to the same folder (short names included).
    bool Holds(const std::string& path) const;

private:
    struct Identity {
        DWORD Volume, IndexHigh, IndexLow;
    };
    std::vector<std::string> folders_;
    std::vector<Identity> identities_;
    static bool IdentityOf(const std::string& path, Identity& identity);
};

// The rules an entry's own texts must pass before anything is done for it:
// every path full, without "." or ".." and device prefixes, none of them a
// protected place; registry roots predefined and no key of the system
// deleted. `places` is asked only for the paths that pass the text rules.
TRefusal RefusalOfEntry(const TChangeEntry& entry, const TProtectedPlaces& places, TEntrySource source);
// The same for one path that an entry acts on.
TRefusal RefusalOfPath(const std::string& path, const TProtectedPlaces& places);

// Every folder on the way to a path, checked step by step from the drive
// down and held open, so that none of them can be renamed, removed or
// replaced by a link while the path is acted on. Holds until destroyed.
class TWayLock {
public:
    explicit TWayLock(const std::string& path);

    // A link or junction on the way, or `path` itself being one: the
    // refusal naming it; empty when the way is clear.
    const TRefusal& Refusal() const { return refusal_; }
    // A folder on the way is not there: neither is `path`.
    bool Missing() const { return missing_; }

private:
    std::vector<UniqueHFile> held_;
    TRefusal refusal_;
    bool missing_ = false;
};

}  // namespace qv
