// TSelDirForm: the select-folder dialog of the systems below Windows 4,
// built from the folder controls.
#pragma once

#include "engine/controls/dir_list.h"
#include "engine/controls/drive_combo.h"
#include "engine/controls/form.h"
#include "engine/controls/std_controls.h"

namespace qv {

class TSelDirForm : public TForm {
public:
    // Creates the window and its controls (hidden).
    explicit TSelDirForm(HWND owner);

    TLabel SelectDirectoryLabel;
    TEdit DirEdit;
    TNewDirectoryListBox DirList;
    TNewDriveComboBox DriveList;
    TButton OKButton;
    TButton CancelButton;

private:
    void DirListChange();
};

}  // namespace qv
