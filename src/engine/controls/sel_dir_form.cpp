#include "engine/controls/sel_dir_form.h"

namespace qv {

TSelDirForm::TSelDirForm(HWND owner) {
    TFormParams p;
    p.Caption = "选择文件夹";
    p.ClientWidth = 257;
    p.ClientHeight = 233;
    p.CenterOnScreen = true;
    p.Owner = owner;
    CreateForm(p);

    // Creation order is the tab order: the label's accelerator focuses DirEdit.
    SelectDirectoryLabel.Create(*this, {8, 8, 241, 31}, "请给出下一张磁盘位置。");
    DirEdit.Create(*this, {8, 40, 241, 20});
    DirList.Create(*this, {8, 64, 241, 97});
    DirList.SetItemHeight(15);
    DirList.OnChange = [this] { DirListChange(); };
    DriveList.Create(*this, {8, 168, 241, 22});
    DriveList.SetDirList(&DirList);
    OKButton.Create(*this, {96, 201, 73, 23}, "确定", true);
    OKButton.ModalResult = mrOk;
    CancelButton.Create(*this, {176, 201, 73, 23}, "取消");
    CancelButton.ModalResult = mrCancel;
    SetDefaultButton(&OKButton);
    SetCancelButton(&CancelButton);
    DirEdit.SetText(DirList.FolderPath());
}

void TSelDirForm::StartAt(const std::string& folder) {
    try {
        DirList.ChangeFolder(folder);
    } catch (...) {
        // The dialog opens at the current folder.
    }
}

void TSelDirForm::DirListChange() { DirEdit.SetText(DirList.FolderPath()); }

}  // namespace qv
