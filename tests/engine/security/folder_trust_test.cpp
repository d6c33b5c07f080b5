// Whether an elevated run may take a journal's word: by the owner and the
// access list of what holds it, entry by entry as the system grants them.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "engine/common/folder_trust.h"
#include "engine/common/win_text.h"

namespace qv {
namespace {

std::string UserSidText() {
    const SidBytes user = UserOfThisProcess();
    LPWSTR text = nullptr;
    EXPECT_TRUE(ConvertSidToStringSidW(const_cast<std::uint8_t*>(user.data()), &text));
    const std::string result = Narrow(text);
    LocalFree(text);
    return result;
}

// What OtherWriterOf says of the descriptor `sddl`, SYSTEM and the
// Administrators being the machine's.
std::string OtherWriterOfText(const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(Widen(sddl).c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
        << sddl;
    if (!descriptor) return "(no descriptor)";
    const std::string other =
        OtherWriterOf(descriptor, {WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid)});
    LocalFree(descriptor);
    return other;
}

TEST(FolderTrust, OnlyTheMachinesAccountsMayWriteOrOwnAJournal) {
    const std::string user = UserSidText();
    // As this version makes the folders; a list entry that only reads, one
    // that only reaches what is made inside, and one that denies, let
    // nobody write the folder itself.
    for (const std::string& sound : {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                     "O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
                                     "O:BAD:P(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICIIO;FA;;;WD)(D;;FA;;;WD)"})
        EXPECT_EQ(OtherWriterOfText(sound), "") << sound;
    // As an older version made them, with its user; one the user owns and
    // may give himself any list; one without a list; one Everyone may
    // change the list of.
    EXPECT_EQ(OtherWriterOfText("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")"),
              "an entry for " + user + " allows writing");
    EXPECT_EQ(OtherWriterOfText("O:" + user + "D:P(A;OICI;FA;;;SY)"), "owner " + user);
    SECURITY_DESCRIPTOR noList{};
    SidBytes administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    ASSERT_TRUE(InitializeSecurityDescriptor(&noList, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&noList, administrators.data(), FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&noList, TRUE, nullptr, FALSE));
    EXPECT_EQ(OtherWriterOf(&noList, {administrators}), "no access list (everybody may write)");
    EXPECT_EQ(OtherWriterOfText("O:BAD:(A;;FA;;;SY)(A;;WD;;;WD)"), "an entry for S-1-1-0 allows writing");
}

TEST(FolderTrust, TheMachinesWritersAreSystemTheAdministratorsAndThoseOfTheWindowsFolder) {
    const std::vector<SidBytes> writers = MachineWriters();
    for (const WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid})
        EXPECT_NE(std::find(writers.begin(), writers.end(), WellKnownSid(type)), writers.end());
    // Nobody who can merely read the Windows folder.
    for (const WELL_KNOWN_SID_TYPE type : {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid})
        EXPECT_EQ(std::find(writers.begin(), writers.end(), WellKnownSid(type)), writers.end());
}

}  // namespace
}  // namespace qv
