// How the installation log names an undo entry: its kind, the paths or keys
// it acts on and its flags, in one line, as recorded and as undone.
#pragma once

#include <string>

#include "core/uninstall/uninstall_log.h"

namespace qv {

// `ekFile "C:\App\a.dll", waiting "C:\App\qv-1.tmp", flags efWasPresent|efSelfUnregister`
// `ekRegValue HKEY_CURRENT_USER\Software\Maker\App, value "Path"`
// `ekIniKey "C:\WINDOWS\app.ini" [Options] Size`
std::string ChangeEntryText(const TChangeEntry& entry);

}  // namespace qv
