#include "core/setup/deployment_values.h"

namespace qv {

namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsVersionCharacter(char c) {
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '+';
}

}  // namespace

std::string UninstallKeyNameOf(const std::string& appNameVersion, int n) {
    return appNameVersion + "_qv" + std::to_string(n);
}

std::optional<std::string> DisplayVersionOf(const std::string& appName, const std::string& appNameVersion) {
    const std::string prefix = appName + " ";
    if (appName.empty() || appNameVersion.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::string version = appNameVersion.substr(prefix.size());
    if (version.empty() || version.size() > 128 || !IsAsciiDigit(version[0])) return std::nullopt;
    for (const char c : version)
        if (!IsVersionCharacter(c)) return std::nullopt;
    return version;
}

std::string QuietUninstallCommandLine(const std::string& uninstallCommandLine) {
    return uninstallCommandLine + " /VERYSILENT /SUPPRESSMSGBOXES";
}

const TIconRec* FirstGroupIcon(const std::vector<TIconRec>& icons) {
    static const std::string kGroup = "{group}\\";
    for (const TIconRec& icon : icons)
        if (icon.IconPath.compare(0, kGroup.size(), kGroup) == 0 && !icon.Filename.empty()) return &icon;
    return nullptr;
}

}  // namespace qv
