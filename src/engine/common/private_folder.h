// Folders that only the system, the administrators and the running user
// may open. An elevated run keeps the backups of the files it replaces and
// the programs it starts in such a folder: in a temporary folder that other
// users can write (the system's own, a shared one), one of them could
// otherwise swap a backup before a rollback puts it back, or a program
// before it runs with administrator rights.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv {

// A security descriptor whose access list is protected (nothing is taken
// from the parent folder) and allows everything to SYSTEM, the
// Administrators group and the user of this process, inherited by every
// file and folder made inside. The owner is left to the system.
class TPrivateFolderSecurity {
public:
    TPrivateFolderSecurity();
    TPrivateFolderSecurity(const TPrivateFolderSecurity&) = delete;
    TPrivateFolderSecurity& operator=(const TPrivateFolderSecurity&) = delete;

    // ERROR_SUCCESS, or the system's reason why the descriptor could not be built.
    DWORD Error() const { return error_; }
    PSECURITY_DESCRIPTOR Descriptor() { return &descriptor_; }
    // For CreateDirectoryW and the like; null when Error() is not ERROR_SUCCESS.
    SECURITY_ATTRIBUTES* Attributes() { return error_ == ERROR_SUCCESS ? &attributes_ : nullptr; }

private:
    DWORD Build();

    std::vector<DWORD> acl_;  // DWORD elements: an ACL must be aligned to them
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    DWORD error_ = ERROR_SUCCESS;
};

// Creates the folder `path` with that access list. False with the reason in
// GetLastError, also when the list cannot be built: the folder is never
// made without it.
bool CreatePrivateFolder(const std::wstring& path);

}  // namespace qv
