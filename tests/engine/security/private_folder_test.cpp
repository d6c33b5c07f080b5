// The temporary folder of a run with administrator rights, where the
// programs it starts lie, and the folder of its rollback journals: only SYSTEM
// and the administrators may open them, owned by the Administrators group,
// not even the running user's programs without those rights; nothing of the
// access list of the folder around them reaches them. A run without those
// rights keeps an entry for its user.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/common/private_folder.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "core/text/path_strings.h"
#include "engine/journal/journal_folders.h"
#include "engine/setup/setup_folders.h"
#include "engine/setup/setup_state.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using Sid = SidBytes;

std::vector<Sid> SystemAdministratorsAndThisUser() {
    std::vector<Sid> sids{WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid)};
    const Sid user = UserOfThisProcess();
    if (user != sids[0]) sids.push_back(user);  // no entry of its own for a run as SYSTEM
    std::sort(sids.begin(), sids.end());
    return sids;
}

struct Entry {
    Sid Who;
    ACCESS_MASK Mask = 0;
    BYTE Flags = 0;
};

// The entries of the access list, each of which must allow; whether the
// list is protected from the parent folder's.
std::vector<Entry> AllowingEntries(PSECURITY_DESCRIPTOR descriptor, bool& isProtected) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    EXPECT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    isProtected = (control & SE_DACL_PROTECTED) != 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    EXPECT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    EXPECT_TRUE(present && acl) << "no access list lets everybody in";
    std::vector<Entry> entries;
    for (DWORD i = 0; present && acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        EXPECT_TRUE(GetAce(acl, i, &ace));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        const auto* sid = reinterpret_cast<const std::uint8_t*>(&allowed->SidStart);
        entries.push_back({Sid(sid, sid + GetLengthSid(const_cast<std::uint8_t*>(sid))), allowed->Mask,
                           allowed->Header.AceFlags});
    }
    return entries;
}

// Everything, to `expected` alone, for the folder and all made inside,
// and nothing from the folder around it.
void ExpectOnlyFor(TFolderAccess access, std::vector<Sid> expected) {
    TPrivateFolderSecurity security(access);
    ASSERT_EQ(security.Error(), static_cast<DWORD>(ERROR_SUCCESS));
    bool isProtected = false;
    std::vector<Sid> allowed;
    for (const Entry& entry : AllowingEntries(security.Descriptor(), isProtected)) {
        EXPECT_EQ(entry.Mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
        EXPECT_EQ(entry.Flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        allowed.push_back(entry.Who);
    }
    EXPECT_TRUE(isProtected);
    std::sort(allowed.begin(), allowed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(allowed, expected);
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    EXPECT_TRUE(GetSecurityDescriptorOwner(security.Descriptor(), &owner, &defaulted));
    if (access == TFolderAccess::AdministratorsOnly) {
        ASSERT_TRUE(owner);
        const auto* bytes = static_cast<const std::uint8_t*>(owner);
        EXPECT_EQ(Sid(bytes, bytes + GetLengthSid(owner)), WellKnownSid(WinBuiltinAdministratorsSid));
    } else {
        EXPECT_FALSE(owner) << "left to the system";
    }
}

TEST(PrivateFolder, AnElevatedRunsTemporaryFolderIsOnlyForSystemAndTheAdministrators) {
    ExpectOnlyFor(TFolderAccess::AdministratorsOnly, {WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid)});
    ExpectOnlyFor(TFolderAccess::WithThisUser, SystemAdministratorsAndThisUser());
    const std::vector<Sid> three = SystemAdministratorsAndThisUser();

    // The folder itself, read back from the file system.
    const test::ScratchFolder temp("qv temp");
    const test::ScopedEnvVar tmp("TMP", temp.path()), tempVariable("TEMP", temp.path());
    ResetSetupState();
    SetupState.UserIsAdmin = true;
    CreatePrivateTempFolder();
    const std::wstring folder = Widen(SetupState.PrivateTempFolder);
    ResetSetupState();
    ASSERT_EQ(folder.rfind(Widen(temp.path()), 0), 0u);
    DWORD size = 0;
    GetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<DWORD> descriptor(size / sizeof(DWORD) + 1);
    ASSERT_TRUE(GetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                                 static_cast<DWORD>(descriptor.size() * sizeof(DWORD)), &size));
    // Wine keeps only what the Unix permissions can say (the Unix owner,
    // shown as the user, and SYSTEM, the list unprotected); Windows gives
    // back the list as made. On either, nobody else may be let in.
    bool isProtected = false;
    for (const Entry& entry : AllowingEntries(descriptor.data(), isProtected))
        EXPECT_TRUE(std::binary_search(three.begin(), three.end(), entry.Who)) << "somebody else is let in";
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// The journals of elevated runs, and the backups beside them, lie under the
// Windows folder: nobody else may write there and plant a journal for the
// next run to roll back.
TEST(PrivateFolder, TheMachinesJournalFolderIsOnlyForSystemAndTheAdministrators) {
    const std::string run = CreateRunFolder(true);
    // A journal made there passes the check a recovery makes before it acts.
    const std::string journal = run + "\\" + kJournalFileName;
    test::WriteFileBytes(journal, {'j'});
    EXPECT_EQ(OtherWriterOfMachineJournal(run), "");
    EXPECT_TRUE(DeleteFileW(Widen(journal).c_str()));
    const std::vector<Sid> three = SystemAdministratorsAndThisUser();
    for (const std::string& folder : {run, JournalRoot(true), ExtractFileDir(JournalRoot(true))}) {
        DWORD size = 0;
        GetFileSecurityW(Widen(folder).c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
        std::vector<DWORD> descriptor(size / sizeof(DWORD) + 1);
        ASSERT_TRUE(GetFileSecurityW(Widen(folder).c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                                     static_cast<DWORD>(descriptor.size() * sizeof(DWORD)), &size))
            << folder;
        bool isProtected = false;
        for (const Entry& entry : AllowingEntries(descriptor.data(), isProtected))
            EXPECT_TRUE(std::binary_search(three.begin(), three.end(), entry.Who)) << "somebody else is let in " << folder;
    }
    EXPECT_TRUE(RemoveDirectoryW(Widen(run).c_str()));
    RemoveEmptyJournalRoots();
}

}  // namespace
}  // namespace qv
