// Folders that only the system and the administrators may write. An
// elevated run keeps the backups of the files it replaces and the programs
// it starts in such a folder, and its rollback journals under one: anybody
// else who could write there (another user, or the same user's programs
// without administrator rights) could swap a backup before a rollback puts
// it back, a program before it runs with administrator rights, or plant a
// journal for the next elevated run to obey.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

using SidBytes = std::vector<std::uint8_t>;

// Who besides SYSTEM and the Administrators group gets an entry.
enum class TFolderAccess {
    // Nobody: for an elevated run. The same user's programs without
    // administrator rights would otherwise write what the run made, as an
    // object an elevated process makes carries no integrity label. The
    // owner is the Administrators group, set explicitly, not the user.
    AdministratorsOnly,
    // The user of this process too, and the owner left to the system: for a
    // run without administrator rights, which must open its own folder.
    WithThisUser,
};

// A security descriptor whose access list is protected (nothing is taken
// from the parent folder) and allows everything to SYSTEM and the
// Administrators group, and for WithThisUser to the user of this process,
// inherited by every file and folder made inside.
class TPrivateFolderSecurity {
public:
    explicit TPrivateFolderSecurity(TFolderAccess access);
    TPrivateFolderSecurity(const TPrivateFolderSecurity&) = delete;
    TPrivateFolderSecurity& operator=(const TPrivateFolderSecurity&) = delete;

    // ERROR_SUCCESS, or the system's reason why the descriptor could not be built.
    DWORD Error() const { return error_; }
    PSECURITY_DESCRIPTOR Descriptor() { return &descriptor_; }
    // For CreateDirectoryW and the like; null when Error() is not ERROR_SUCCESS.
    SECURITY_ATTRIBUTES* Attributes() { return error_ == ERROR_SUCCESS ? &attributes_ : nullptr; }

private:
    DWORD Build(TFolderAccess access);

    SidBytes system_, administrators_, user_;
    std::vector<DWORD> acl_;  // DWORD elements: an ACL must be aligned to them
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    DWORD error_ = ERROR_SUCCESS;
};

// Creates the folder `path` with that access list. False with the reason in
// GetLastError, also when the list cannot be built: the folder is never
// made without it.
bool CreatePrivateFolder(const std::wstring& path, TFolderAccess access);

// Gives an existing folder the AdministratorsOnly owner and access list, in
// place of whatever it had (a folder an older version made with an entry
// for its user). False with the reason in GetLastError.
bool ProtectFolder(const std::wstring& path);

// The well-known SID `type`; empty when the system cannot make it.
SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type);
// The user of this process; empty when the token cannot be read.
SidBytes UserOfThisProcess();

}  // namespace qv
