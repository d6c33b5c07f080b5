// The icons step of the installation: the application's entries in the
// start menu. On the new shell (Windows 4 and later) each icon is a shell
// link in the group's folder; on the old shell the Program Manager is told
// by DDE to make the group and its items. Every group, item, folder and
// link is in the undo log before the next one is begun.
#pragma once

#include "engine/install/install_context.h"

namespace qv {

// Whether this installation gets an uninstall icon: it is uninstallable,
// and either the setup asks for the icon always or the uninstall key was
// not written (context.UninstallKeyCreated), which leaves the icon as the
// only way to start the uninstaller.
bool UninstallIconWanted(const TInstallContext& context);

// Whether the install sequence runs the icons step: not when the user chose
// no icons; otherwise when the setup has icons to create, and also when the
// uninstall key failed and the uninstall icon is all there is. Call it
// after the uninstall key step.
bool ProgramIconsStepNeeded(const TInstallContext& context);

// Makes every icon of the setup data in order, then the uninstall icon when
// UninstallIconWanted. 1000 gauge units per icon made. A failure is shown
// in the error box and ends the step, but not the installation: one in the
// group commands leaves every icon unmade; one in an icon skips the
// remaining regular icons, and the uninstall icon is still tried. Only a
// DDE client that cannot be initialised (EDdeError), and the silent abort,
// leave the step as exceptions.
void MakeProgramIcons(TInstallContext& context);

}  // namespace qv
