#include "engine/common/private_folder.h"

#include <aclapi.h>

#include "engine/common/win_handles.h"

namespace qv {

SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    SidBytes sid(size, 0);
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

SidBytes UserOfThisProcess() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID user = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(user);
    return SidBytes(bytes, bytes + GetLengthSid(user));
}

TPrivateFolderSecurity::TPrivateFolderSecurity(TFolderAccess access) { error_ = Build(access); }

DWORD TPrivateFolderSecurity::Build(TFolderAccess access) {
    system_ = WellKnownSid(WinLocalSystemSid);
    administrators_ = WellKnownSid(WinBuiltinAdministratorsSid);
    if (system_.empty() || administrators_.empty()) return GetLastError();
    std::vector<const SidBytes*> allowed{&system_, &administrators_};
    if (access == TFolderAccess::WithThisUser) {
        user_ = UserOfThisProcess();
        if (user_.empty()) return GetLastError();
        // A run as SYSTEM or as the built-in group needs no entry of its own.
        if (user_ != system_ && user_ != administrators_) allowed.push_back(&user_);
    }

    DWORD size = sizeof(ACL);
    for (const SidBytes* sid : allowed)
        size += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sid->size());
    acl_.assign((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    const PACL acl = reinterpret_cast<PACL>(acl_.data());
    if (!InitializeAcl(acl, static_cast<DWORD>(acl_.size() * sizeof(DWORD)), ACL_REVISION)) return GetLastError();
    for (const SidBytes* sid : allowed) {
        if (!AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                   const_cast<std::uint8_t*>(sid->data())))
            return GetLastError();
    }
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return GetLastError();
    // An elevated token's default owner may be its user, whose programs
    // without administrator rights could then rewrite the access list.
    if (access == TFolderAccess::AdministratorsOnly &&
        !SetSecurityDescriptorOwner(&descriptor_, administrators_.data(), FALSE))
        return GetLastError();
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    return ERROR_SUCCESS;
}

bool CreatePrivateFolder(const std::wstring& path, TFolderAccess access) {
    TPrivateFolderSecurity security(access);
    if (!security.Attributes()) {
        SetLastError(security.Error());
        return false;
    }
    return CreateDirectoryW(path.c_str(), security.Attributes()) != FALSE;
}

bool ProtectFolder(const std::wstring& path) {
    TPrivateFolderSecurity security(TFolderAccess::AdministratorsOnly);
    if (!security.Attributes()) {
        SetLastError(security.Error());
        return false;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    PSID owner = nullptr;
    GetSecurityDescriptorDacl(security.Descriptor(), &present, &acl, &defaulted);
    GetSecurityDescriptorOwner(security.Descriptor(), &owner, &defaulted);
    std::wstring name = path;
    const DWORD error = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                                  PROTECTED_DACL_SECURITY_INFORMATION,
                                              owner, nullptr, acl, nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

}  // namespace qv
