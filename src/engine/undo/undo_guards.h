// What undoing may touch, whatever the log or the rollback's entries say.
// An uninstall log lies in a folder its user can write and is obeyed by an
// uninstaller that may run with administrator rights: it must not be able
// to remove the system's folders or keys, reach them through a path that
// reads otherwise, or through a link somebody put on the way. A rollback
// keeps the same rules, as a guard against its own mistakes.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
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
    std::vector<std::string> folders_;  // as ComparablePath gives them
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

// The folders checked and held on the way to the paths of one run, kept
// from one path to the next: opening and checking every folder from the
// drive down for each entry costs far more than the deleting (Wine finds
// a link only by reading the folder that holds it), and an uninstall's
// entries lie in a few folders. A folder is let go before it, or a folder
// that holds it, is acted on.
class TWayCache {
private:
    friend class TWayLock;
    // Keyed by ComparablePath.
    std::map<std::string, std::shared_ptr<UniqueHFile>> held_;
    // Lets go of `path` and of every folder below it.
    void LetGo(const std::string& path);
};

// Every folder on the way to a path, checked step by step from the drive
// down and held open, so that none of them can be renamed, removed or
// replaced by a link while the path is acted on. Holds until destroyed.
class TWayLock {
public:
    // With `cache`, the folders it holds on this way are taken as checked
    // and held already, those at or below `path` are let go (the path may
    // be deleted next), and the folders this way opens are left there.
    // `pathItself` false: the path may be a link itself, as when it is only
    // deleted (which removes the link, never what it leads to); checking it
    // costs a read of the folder that holds it under Wine.
    explicit TWayLock(const std::string& path, TWayCache* cache = nullptr, bool pathItself = true);
    TWayLock(const TWayLock&) = delete;
    TWayLock& operator=(const TWayLock&) = delete;

    // A link or junction on the way, or `path` itself being one: the
    // refusal naming it; empty when the way is clear.
    const TRefusal& Refusal() const { return refusal_; }
    // A folder on the way is not there: neither is `path`.
    bool Missing() const { return missing_; }

private:
    std::vector<std::shared_ptr<UniqueHFile>> held_;
    TWayCache* cache_;
    TRefusal refusal_;
    bool missing_ = false;
};

}  // namespace qv
