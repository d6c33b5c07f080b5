// The texts of the wizard that depend on the setup data: the placeholders
// of its fixed texts and the required disk space shown on the folder page.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The required space in megabytes with one decimal, rounded up: 1 byte
// gives "0.1", exactly 1048576 bytes "1.0", one byte more "1.1", 0 bytes "0.0".
std::string RequiredSpaceText(std::uint64_t totalFileSize);

struct WizardTextValues {
    std::string AppName;
    std::string AppNameVersion;
    std::string Megabytes;  // RequiredSpaceText of the setup
};

// Replaces every "[name]" by the application's name, then every
// "[name/ver]" by its name and version, then every "[mb]" by the required
// space. A replacement is never searched again, so a name that itself holds
// "[name]" is inserted as it stands.
std::string ExpandWizardText(std::string text, const WizardTextValues& values);

// The ready page's text (before expanding): the last sentence says "按<安装>"
// when there is nothing to go back to (no folder page and no group page).
std::string ReadyTextTemplate(bool noFolderPage, bool groupPageSkipped);

// The finished page's text (before expanding), with the sentence about
// the installed icons when icons were to be made.
std::string FinishedTextTemplate(bool hasIconsToCreate);

// The finished page's text when Windows must restart (before expanding).
extern const char kRestartQuestionTemplate[];

// The welcome page's text (before expanding).
extern const char kWelcomeTextTemplate[];

}  // namespace qv
