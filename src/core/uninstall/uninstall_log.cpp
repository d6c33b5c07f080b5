// The uninstall log file: its header and its writer. The reader is a file
// of its own, so that a program that only writes logs does not carry it.
#include "core/uninstall/uninstall_log.h"

#include <algorithm>
#include <cstring>

#include "core/bytes.h"
#include "core/text/cp936.h"

namespace qv {

namespace {
constexpr std::size_t kMaxEntryCount = 0xFFFF;
}  // namespace

std::string HeaderAppNameBytes(const std::string& appName) {
    return cp936::TruncateBytes(cp936::FromUtf8Lossy(appName), TChangeFileHeader::kAppNameMaxBytes);
}

void TChangeFileHeader::Encode(std::uint8_t* p) const {
    std::memset(p, 0, kSize);
    std::copy(ChangeFileSignature.begin(), ChangeFileSignature.end(), p);
    SetUi16(p + kEntryCountOffset, EntryCount);
    const std::string name = HeaderAppNameBytes(AppName);
    p[kAppNameOffset] = static_cast<std::uint8_t>(name.size());
    std::copy(name.begin(), name.end(), p + kAppNameOffset + 1);
    p[kAdminInstallOffset] = AdminInstall ? 1 : 0;
}

std::vector<std::uint8_t> EncodeUninstallLog(const std::string& appName, bool adminInstall,
                                             const std::vector<TChangeEntry>& entries) {
    if (entries.size() > kMaxEntryCount)
        throw Exception("the uninstall log holds at most 65535 entries, the installation recorded " +
                        std::to_string(entries.size()));
    TChangeFileHeader header;
    header.EntryCount = static_cast<std::uint16_t>(entries.size());
    header.AppName = appName;
    header.AdminInstall = adminInstall;
    std::vector<std::uint8_t> bytes(TChangeFileHeader::kSize);
    header.Encode(bytes.data());
    for (std::size_t i = 0; i < entries.size(); ++i) EncodeChangeEntry(entries[i], i + 1, bytes);
    return bytes;
}

void WriteUninstallLog(OutStream& out, const std::string& appName, bool adminInstall,
                       const std::vector<TChangeEntry>& entries) {
    const std::vector<std::uint8_t> bytes = EncodeUninstallLog(appName, adminInstall, entries);
    out.Write(bytes.data(), bytes.size());
}

}  // namespace qv
