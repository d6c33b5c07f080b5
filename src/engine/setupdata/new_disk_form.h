// TNewDiskForm: the dialog that asks for the next disk when its data file
// cannot be found, and AskForDisk, which shows it.
#pragma once

#include <functional>
#include <string>

#include "engine/controls/form.h"
#include "engine/controls/gdi.h"
#include "engine/controls/panels.h"
#include "engine/controls/std_controls.h"
#include "engine/setupdata/data_file_locator.h"

namespace qv {

// The question whether the user wants to leave the setup; true for Yes.
// The setup run gives its exit question here.
using TExitQuestion = std::function<bool()>;

class TNewDiskForm : public TForm {
public:
    // Creates the window and its controls (hidden), owned by the
    // application's main window. `confirmExit` decides every cancel.
    explicit TNewDiskForm(TExitQuestion confirmExit);

    // The data file looked for, such as SETUP.2.
    std::string Filename;
    // The picture of a disk (resource DISKIMAGE); pure blue is its background.
    Bitmap DiskBitmap;

    TPaintBox DiskPaintBox;
    TLabel SelectDiskLabel;
    TLabel PathLabel;
    TEdit PathEdit;
    TButton BrowseButton;
    TButton OKButton;
    TButton CancelButton;

    // The full path of Filename in the folder that PathEdit names, blanks
    // around the typed text ignored.
    std::string ChosenFile() const;

protected:
    // OK closes only when the file is there; a cancel only when the user
    // confirms leaving the setup.
    bool CloseQuery() override;
    void FormActivate() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintDisk(HDC dc, const RECT& client) const;
    void BrowseButtonClick();

    TExitQuestion confirmExit_;
};

// Shows the dialog for disk `diskNumber`, whose data file is `fileName`,
// offering the folder `path`. True when the user confirmed: `path` is then
// the chosen folder with a trailing backslash, and the file is there.
bool AskForDisk(int diskNumber, const std::string& fileName, std::string& path, const TExitQuestion& confirmExit);

// The disk prompt of TDataFileLocator that shows this dialog.
TDiskPrompt NextDiskDialog(TExitQuestion confirmExit);

}  // namespace qv
