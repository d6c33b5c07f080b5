#include "engine/common/private_folder.h"

#include <cstdint>

#include "engine/common/win_handles.h"

namespace qv {

namespace {

using SidBytes = std::vector<std::uint8_t>;

DWORD WellKnownSid(WELL_KNOWN_SID_TYPE type, SidBytes& sid) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    sid.assign(size, 0);
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return GetLastError();
    sid.resize(size);
    return ERROR_SUCCESS;
}

DWORD UserOfThisProcess(SidBytes& sid) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return GetLastError();
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return GetLastError();
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return GetLastError();
    const PSID user = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(user);
    sid.assign(bytes, bytes + GetLengthSid(user));
    return ERROR_SUCCESS;
}

}  // namespace

TPrivateFolderSecurity::TPrivateFolderSecurity() { error_ = Build(); }

DWORD TPrivateFolderSecurity::Build() {
    SidBytes system, administrators, user;
    if (DWORD error = WellKnownSid(WinLocalSystemSid, system)) return error;
    if (DWORD error = WellKnownSid(WinBuiltinAdministratorsSid, administrators)) return error;
    if (DWORD error = UserOfThisProcess(user)) return error;
    std::vector<const SidBytes*> allowed{&system, &administrators};
    // A run as SYSTEM or as the built-in group needs no entry of its own.
    if (!EqualSid(user.data(), system.data()) && !EqualSid(user.data(), administrators.data()))
        allowed.push_back(&user);

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
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    return ERROR_SUCCESS;
}

bool CreatePrivateFolder(const std::wstring& path) {
    TPrivateFolderSecurity security;
    if (!security.Attributes()) {
        SetLastError(security.Error());
        return false;
    }
    return CreateDirectoryW(path.c_str(), security.Attributes()) != FALSE;
}

}  // namespace qv
