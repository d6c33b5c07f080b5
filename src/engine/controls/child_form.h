// TSetupChildForm: the base of the setup's own windows that belong to the
// background window (the wizard, the progress window). Its owner is the
// background window, so it always stays above it, and it realises the
// background window's palette, so that both show the same colours.
#pragma once

#include "engine/controls/form.h"

namespace qv {

// Sent by a child form to its owner to learn the palette to realise; the
// owner answers with an HPALETTE or 0.
constexpr UINT QM_GETPALETTE = WM_APP + 0x151;

// The step message, posted or sent to the background window with both
// parameters 0: the stage that ended hands the run on to the next one.
constexpr UINT WM_SETUPSTEP = 0x133C;

class TSetupChildForm : public TForm {
public:
    // The form must not be shown again when the background window is restored.
    bool StayHidden = false;

    // The form of a top-level window, when it is a TSetupChildForm.
    static TSetupChildForm* FromWindow(HWND window);
    TSetupChildForm* AsSetupChildForm() override { return this; }

    // Centres the whole window over its owner's client area (the screen
    // without an owner), never above or left of the screen's corner.
    void CentreOnOwner();

protected:
    // The owner is the background window (when one exists).
    HWND OwnerWindow(const TFormParams& params) const override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace qv
