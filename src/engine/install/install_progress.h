// How the install steps show their progress and learn of a cancel: the
// install window's status line, file label and gauge, and its event pump.
// Steps and tests depend on this, not on the window.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

class IInstallProgress {
public:
    virtual ~IInstallProgress() = default;

    // The status line, repainted at once.
    virtual void ShowStepText(const std::string& text) = 0;
    // The file in progress ("" clears the label), repainted at once.
    virtual void ShowFilename(const std::string& path) = 0;

    // The gauge, in its own units (compressed bytes, 1000 per icon, ...):
    // repainted at once after every change.
    virtual std::int64_t Position() const = 0;
    virtual void SetPosition(std::int64_t position) = 0;
    void Advance(std::int64_t units) { SetPosition(Position() + units); }

    // Lets the windows process pending messages; raises EAbort when the user
    // has confirmed cancelling, before and after.
    virtual void PumpMessagesCheckCancel() = 0;
};

}  // namespace qv
