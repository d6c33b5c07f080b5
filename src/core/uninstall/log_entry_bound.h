// The most entries an installation can record in its uninstall log, counted
// from the setup data alone, before anything is installed. The log counts
// its entries in 16 bits: a setup whose installation could record more must
// be refused before it starts, not at its very end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/setupdata/setup_data.h"

namespace qv {

// EntryCount of the uninstall log is 16 bits wide.
constexpr std::uint64_t kUninstallLogEntryLimit = 0xFFFF;

// A folder path that the engine creates holds at most this many levels
// below its drive: CreateDirectory takes paths of at most 247 characters
// ("C:\" and 122 one-character names, each with its backslash).
constexpr std::uint64_t kMostCreatedFolderLevels = 122;

// A registry tree is at most this many levels deep: the most keys that a
// sub key whose text holds a directory constant may have above it.
constexpr std::uint64_t kMostRegistryKeyLevels = 512;

// The entries by where they come from.
struct UninstallLogEntryCount {
    std::uint64_t Setup = 0;            // the log's placeholder file and the uninstall key
    std::uint64_t Folders = 0;          // the application folder, the folder records, the icons' folders
    std::uint64_t Files = 0;            // installed files and raised shared-file counts
    std::uint64_t Icons = 0;            // shell links or Program Manager items, the uninstall icon included
    std::uint64_t IniEntries = 0;       // INI keys and sections removed at uninstall
    std::uint64_t RegistryEntries = 0;  // registry entries undone at uninstall
    std::uint64_t RegistryKeys = 0;     // keys created above those entries' keys
    std::uint64_t UninstallDeletes = 0; // the delete-at-uninstall list

    std::uint64_t Total() const {
        return Setup + Folders + Files + Icons + IniEntries + RegistryEntries + RegistryKeys + UninstallDeletes;
    }
};

// The most entries any run of `data` can leave in its uninstall log, on any
// machine and for any folder and group the user chooses. Folders are the
// uncertain part: every distinct folder named below a directory constant
// (or a drive) counts once, and each constant counts as many levels as a
// created folder path can hold, since the folder it stands for may be
// missing up to its drive. So are the keys above a registry entry's key that
// is removed at uninstall, each distinct one once; a sub key holding a
// constant counts as deep as a registry tree goes. Entries that only a rollback needs never reach
// the log and are not counted.
UninstallLogEntryCount MostUninstallLogEntries(const SetupData& data);

}  // namespace qv
