// The texts that an installation will record in its uninstall log, looked
// at before anything is installed. The log holds code page 936; a folder
// or a group typed with characters outside it, or a user's own folder named
// with them, would otherwise be found only when the log is saved, after
// everything was installed, and the whole installation rolled back.
#pragma once

#include <string>
#include <vector>

#include "core/setup/dir_constants.h"
#include "core/setupdata/setup_data.h"

namespace qv {

// The characters of `text` that code page 936 cannot hold, each once, in
// the order they first appear, separated by single spaces; empty when the
// whole text has a code page 936 form.
std::string CharsOutsideCp936(const std::string& text);

// The paths and names that depend on `folders` and that an installation of
// `data` with them records in its uninstall log: the application folder,
// then those of the folders, files, icons (unless `noIcons`), INI entries,
// registry entries and the files to delete at uninstall, as the install
// steps record them. Nothing for a setup that is not uninstallable. A text
// whose constants cannot be expanded is left out: its step reports that.
std::vector<std::string> UninstallLogTexts(const SetupData& data, const DirConstantValues& folders, bool noIcons);

// Before anything changes: when a text of UninstallLogTexts has no code
// page 936 form, says so in a message box naming it (an unattended run
// logs the box) and returns false; otherwise true, and nothing is shown.
bool CheckUninstallLogTexts(const SetupData& data, const DirConstantValues& folders, bool noIcons);

}  // namespace qv
