#include "engine/common/folder_trust.h"

#include <sddl.h>

#include <algorithm>

#include "engine/common/folders.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// Every right that changes the object, what it holds, or who may.
constexpr ACCESS_MASK kWritingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                       FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                       GENERIC_ALL | MAXIMUM_ALLOWED;

SidBytes SidOf(PSID sid) {
    const auto* bytes = static_cast<const std::uint8_t*>(sid);
    return SidBytes(bytes, bytes + GetLengthSid(sid));
}

std::string TextOfSid(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "(unknown SID)";
    const std::string result = Narrow(text);
    LocalFree(text);
    return result;
}

bool IsOneOf(PSID sid, const std::vector<SidBytes>& sids) {
    return std::find(sids.begin(), sids.end(), SidOf(sid)) != sids.end();
}

// CREATOR OWNER and CREATOR GROUP stand for nobody on the object itself;
// OWNER RIGHTS for its owner, which is checked on its own.
bool StandsForNobodyElse(PSID sid) {
    static const SidBytes creatorOwner = WellKnownSid(WinCreatorOwnerSid),
                          creatorGroup = WellKnownSid(WinCreatorGroupSid),
                          ownerRights = SidBytes{1, 1, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0};  // S-1-3-4
    const SidBytes bytes = SidOf(sid);
    return bytes == creatorOwner || bytes == creatorGroup || bytes == ownerRights;
}

bool IsAllowingType(BYTE type) {
    return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_COMPOUND_ACE_TYPE ||
           type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
           type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
}

std::vector<std::uint8_t> SecurityOf(HANDLE handle) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetKernelObjectSecurity(handle, wanted, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<std::uint8_t> descriptor(size + sizeof(DWORD));
    if (!GetKernelObjectSecurity(handle, wanted, descriptor.data(), static_cast<DWORD>(descriptor.size()), &size))
        return {};
    return descriptor;
}

std::vector<std::uint8_t> SecurityOf(const std::string& path) {
    const UniqueHFile handle(CreateFileW(Widen(path).c_str(), READ_CONTROL,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return handle ? SecurityOf(handle.get()) : std::vector<std::uint8_t>{};
}

}  // namespace

std::vector<SidBytes> MachineWriters() {
    std::vector<SidBytes> writers{WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid)};
    std::vector<std::uint8_t> descriptor = SecurityOf(WindowsFolder());
    if (descriptor.empty()) return writers;
    BOOL present = FALSE, defaulted = FALSE;
    PSID owner = nullptr;
    PACL acl = nullptr;
    if (GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) && owner) writers.push_back(SidOf(owner));
    if (!GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !present || !acl) return writers;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || (allowed->Header.AceFlags & INHERIT_ONLY_ACE) ||
            !(allowed->Mask & kWritingRights))
            continue;
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (!StandsForNobodyElse(sid)) writers.push_back(SidOf(sid));
    }
    return writers;
}

std::string OtherWriterOf(PSECURITY_DESCRIPTOR descriptor, const std::vector<SidBytes>& trusted) {
    BOOL present = FALSE, defaulted = FALSE;
    PSID owner = nullptr;
    PACL acl = nullptr;
    // The owner may always rewrite the access list.
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner) return "no owner";
    if (!IsOneOf(owner, trusted)) return "owner " + TextOfSid(owner);
    if (!GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted)) return "no readable access list";
    if (!present || !acl) return "no access list (everybody may write)";
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) return "an unreadable entry";
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        // Entries that deny, audit or label grant nothing.
        if (!IsAllowingType(allowed->Header.AceType) || (allowed->Header.AceFlags & INHERIT_ONLY_ACE) ||
            !(allowed->Mask & kWritingRights))
            continue;
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            return "an entry of type " + std::to_string(allowed->Header.AceType) + " allows writing";
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (!StandsForNobodyElse(sid) && !IsOneOf(sid, trusted))
            return "an entry for " + TextOfSid(sid) + " allows writing";
    }
    return {};
}

std::string OtherWriterOf(const std::string& path, const std::vector<SidBytes>& trusted) {
    std::vector<std::uint8_t> descriptor = SecurityOf(path);
    if (descriptor.empty()) return "its owner and access list cannot be read";
    return OtherWriterOf(descriptor.data(), trusted);
}

}  // namespace qv
