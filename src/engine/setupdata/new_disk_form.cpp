#include "engine/setupdata/new_disk_form.h"

#include <utility>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/app_forms.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/format_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/system_library.h"
#include "engine/common/unattended.h"
#include "engine/common/win_text.h"
#include "engine/controls/select_folder.h"
#include "engine/common/full_path.h"

namespace qv {

namespace {

constexpr COLORREF kDiskBackground = RGB(0, 0, 255);

// The extent of a one-line label text in `font`, its accelerator mark
// not counted.
SIZE LabelTextSize(HFONT font, const std::string& text) {
    const std::wstring wide = Widen(text);
    const WindowDC screen(nullptr);
    const SelectIn selected(screen.get(), font);
    RECT r{0, 0, 0, 0};
    DrawTextW(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    return {r.right - r.left, r.bottom - r.top};
}

Bitmap LoadDiskImage() {
    Bitmap bitmap(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), L"DISKIMAGE", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) throw Exception("Resource DISKIMAGE not found");
    return bitmap;
}

}  // namespace

TNewDiskForm::TNewDiskForm(TExitQuestion confirmExit) : confirmExit_(std::move(confirmExit)) {
    if (!confirmExit_) throw Exception("TNewDiskForm: no exit question");
    // Before the window: a missing picture leaves nothing behind.
    DiskBitmap = LoadDiskImage();
    TFormParams p;
    p.Caption = "设置程序需要下一张磁盘";
    p.ClientWidth = 377;
    p.ClientHeight = 169;
    p.CenterOnScreen = true;
    p.Owner = AppMainWindow();
    CreateForm(p);

    // Creation order is the tab order; PathLabel's accelerator focuses
    // PathEdit, the control after it.
    DiskPaintBox.Create(*this, {8, 8, 48, 48});
    DiskPaintBox.OnPaint = [this](HDC dc, const RECT& client) { PaintDisk(dc, client); };
    SelectDiskLabel.Create(*this, {72, 8, 297, 72}, {});
    const std::string pathCaption = "路径(&P):";
    const SIZE pathSize = LabelTextSize(ChildFont(), pathCaption);
    PathLabel.Create(*this, {8, 80, pathSize.cx, pathSize.cy}, pathCaption, TLabel::Options{false, true});
    PathEdit.Create(*this, {8, 96, 281, 20});
    BrowseButton.Create(*this, {296, 95, 73, 23}, "浏览(&B)...");
    BrowseButton.OnClick = [this] { BrowseButtonClick(); };
    OKButton.Create(*this, {216, 137, 73, 23}, "确定", true);
    OKButton.ModalResult = mrOk;
    CancelButton.Create(*this, {296, 137, 73, 23}, "取消");
    CancelButton.ModalResult = mrCancel;
    SetDefaultButton(&OKButton);
    SetCancelButton(&CancelButton);
}

std::string TNewDiskForm::ChosenFile() const {
    return FullPathOf(AppendBackslash(Trim(PathEdit.Text())) + Filename);
}

bool TNewDiskForm::CloseQuery() {
    if (ModalResult() != mrOk) return confirmExit_();
    const std::string file = ChosenFile();
    if (FileExists(file)) return true;
    AppMsgBoxFmt("文件\"%s\" 在\"%s\"上未找到。请插入正确的磁盘或选择其他%s",
                 {Filename, StripBackslashKeepRoot(ExtractFileDir(file)), "文件夹"}, "", mbtError, MB_OK);
    return false;
}

LRESULT TNewDiskForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // A label's accelerator moves the focus with WM_NEXTDLGCTL (to the label,
    // then on to the next tab stop), which only the dialog class's own
    // procedure answers.
    if (msg == WM_NEXTDLGCTL) {
        const HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                           : GetNextDlgTabItem(Handle(), GetFocus(), wParam != 0);
        if (target) ::SetFocus(target);
        return 0;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

void TNewDiskForm::FormActivate() {
    // The form itself holds the focus only when it has just been shown.
    if (GetFocus() == Handle()) PathEdit.SetFocus();
}

void TNewDiskForm::PaintDisk(HDC dc, const RECT& client) const {
    BITMAP info{};
    if (!GetObjectW(DiskBitmap.get(), sizeof info, &info)) return;
    const MemoryDC source(dc);
    const SelectIn selected(source.get(), DiskBitmap.get());
    system_library::TransparentBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top,
                                   source.get(), 0, 0, info.bmWidth,
                                   info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, kDiskBackground);
}

void TNewDiskForm::BrowseButtonClick() {
    std::string folder = Trim(PathEdit.Text());
    if (SelectFolder(folder, Handle())) PathEdit.SetText(folder);
}

bool AskForDisk(int diskNumber, const std::string& fileName, std::string& path, const TExitQuestion& confirmExit) {
    Owned<TNewDiskForm> form(confirmExit);
    form.Filename = fileName;
    form.SelectDiskLabel.SetText(FormatText(
        "请插入 %d 号磁盘，然后按确定。\r\n\r\n如果安装盘文件不在下面列出的磁盘或文件夹中，请输入正确的路径名或按<浏览>。",
        {diskNumber}));
    form.PathEdit.SetText(path);
    if (form.ShowModal() != mrOk) return false;
    path = ExtractFileDir(form.ChosenFile());
    return true;
}

TDiskPrompt NextDiskDialog(TExitQuestion confirmExit) {
    return [confirmExit = std::move(confirmExit)](int diskNumber, const std::string& fileName, std::string& path) {
        // Nobody is there to insert the disk: the installation fails (and
        // is rolled back) instead of waiting.
        if (MessagesSuppressed())
            throw Exception(FormatText("设置程序需要第 %d 张磁盘上的文件 %s，但找不到它。", {diskNumber, fileName}));
        return AskForDisk(diskNumber, fileName, path, confirmExit);
    };
}

}  // namespace qv
