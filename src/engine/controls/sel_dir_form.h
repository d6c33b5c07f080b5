// TSelDirForm: the select-folder dialog of the systems below Windows 4,
// built from the folder controls.
#pragma once

#include <string>

#include "engine/controls/dir_list.h"
#include "engine/controls/drive_combo.h"
#include "engine/controls/form.h"
#include "engine/controls/std_controls.h"

namespace qv {

class TSelDirForm : public TForm {
public:
    // Creates the window and its controls (hidden).
    explicit TSelDirForm(HWND owner);

    // Opens the list at `folder`; a folder or drive that is missing leaves
    // it at the current folder.
    void StartAt(const std::string& folder);
    // The folder as the edit box holds it, typed or picked.
    std::string Folder() const { return DirEdit.Text(); }

protected:
    // The controls, the form's own.
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
