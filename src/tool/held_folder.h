// A folder held open while the files under it are written: every name in
// it is taken relative to the folder that was checked, and no link is
// followed. Checking a path and then creating by its name leaves a moment
// in which a folder on the way can be swapped for a link or junction that
// leads the output anywhere its maker chooses; through the held folder
// there is no such moment.
//
// On Linux the folder is a descriptor and every call is relative to it
// (mkdirat, openat with O_NOFOLLOW, renameat). On Windows it is a handle
// opened with FILE_FLAG_OPEN_REPARSE_POINT, which sees a link or junction
// itself instead of where it leads, and held without delete sharing: held
// from the root down, no folder on the way can be renamed, removed or
// replaced, so its path names the folder that was checked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "tool/new_file.h"
#include "tool/platform.h"
#include "tool/system_handle.h"

namespace qv::tool {

class HeldFolder {
public:
    HeldFolder() = default;

    // The output folder itself, made with its parents when missing. The
    // user named it: links in its own path are followed. IoFailure when it
    // cannot be made or opened.
    static HeldFolder OpenRoot(const fs::path& path);

    // The folder `name` in this one, made when missing, held in `sub`;
    // `made` tells whether it was made. Returns Folder; Link or File (and
    // makes nothing through it) when something else is at the name.
    // IoFailure for other failures.
    PathKind OpenSub(const std::string& name, HeldFolder& sub, bool* made = nullptr) const;
    // What is at `name` itself, a link not followed.
    PathKind KindOf(const std::string& name) const;
    // Creates the file `name`, failing (EInOutError) when anything is there,
    // a link included.
    std::unique_ptr<NewFile> CreateNew(const std::string& name) const;
    // SetLocalFileTime for `name`, a link not followed.
    bool SetLocalTime(const std::string& name, std::uint64_t localFileTime) const;
    // Renames `from` to `to` in this folder, replacing what is at `to` (a
    // link there is replaced, not followed). IoFailure on failure.
    void MoveReplacing(const std::string& from, const std::string& to) const;
    void Remove(const std::string& name) const noexcept;

    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
    UniqueSystemHandle folder_;
};

}  // namespace qv::tool
