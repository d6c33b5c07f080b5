#include "engine/wizard/forbidden_chars.h"

#include "engine/common/windows_version.h"

namespace qv {

namespace {
bool OldShell() { return GetWindowsVersion().Major() < 4; }
}  // namespace

std::string FolderForbiddenChars() { return OldShell() ? "/:*?\"<>|,()[]" : "/:*?\"<>|"; }

std::string GroupForbiddenChars() { return OldShell() ? "\\/:*?\"<>|," : "/:*?\"<>|,"; }

}  // namespace qv
