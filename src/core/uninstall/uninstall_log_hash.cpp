#include "core/uninstall/uninstall_log_hash.h"

#include "core/crypto/sha256.h"
#include "core/text/path_strings.h"

namespace qv {

std::string UninstallLogHash(const std::vector<std::uint8_t>& logBytes) {
    Sha256 sha;
    sha.Update(logBytes.data(), logBytes.size());
    return HexDigest(sha.Finish());
}

bool SameUninstallLogHash(const std::string& recorded, const std::string& computed) {
    return SameTextAscii(Trim(recorded), computed);
}

}  // namespace qv
