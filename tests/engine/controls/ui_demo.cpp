// A small program that shows the controls as a user sees them, for the
// screenshots of scripts/screenshots.sh: ui_demo gauge | folders | seldir.
// Each window closes by itself after a few seconds.
#include <windows.h>

#include <cstdio>
#include <string>

#include "engine/common/win_text.h"
#include "engine/controls/current_folder.h"
#include "engine/controls/dir_list.h"
#include "engine/controls/drive_combo.h"
#include "engine/controls/form.h"
#include "engine/controls/gauge.h"
#include "engine/controls/message_loop.h"
#include "engine/controls/path_label.h"
#include "engine/controls/sel_dir_form.h"
#include "old_shell.h"
#include "engine/controls/std_controls.h"

namespace {

using namespace qv;

class DemoForm : public TForm {
public:
    DemoForm(const std::string& caption, int w, int h) {
        TFormParams p;
        p.Caption = caption;
        p.ClientWidth = w;
        p.ClientHeight = h;
        p.CenterOnScreen = true;
        CreateForm(p);
    }
    void DoClose() override { PostQuitMessage(0); }
};

void CALLBACK QuitTimer(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

int GaugeDemo() {
    // The progress window's layout, with the gauge at 50 %.
    Owned<DemoForm> form("设置", 313, 113);
    TLabel status;
    status.Create(form, {8, 8, 297, 16}, "复制文件 ...");
    TNewPathLabel file;
    file.Create(form, {8, 24, 297, 16}, "C:\\Program Files\\QV 示例程序\\Data\\Help\\Very long folder name\\readme.txt");
    TNewGauge gauge;
    gauge.Create(form, {8, 50, 297, 21});
    gauge.SetFont({"MS Sans Serif", -11, true, false});
    gauge.SetProgress(50);
    TButton cancel;
    cancel.Create(form, {120, 81, 73, 23}, "取消");
    form.Show();
    return RunMessageLoop();
}

std::string MakeTree() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::string root = Narrow(temp) + "QV Demo";
    const char* folders[] = {"", "\\Program Files", "\\Program Files\\QV 示例程序", "\\Program Files\\Common Files",
                             "\\Program Files\\Accessories", "\\Program Files\\数据文件", "\\Program Files\\WINDOWS"};
    for (const char* f : folders) CreateDirectoryW(Widen(root + f).c_str(), nullptr);
    return root + "\\Program Files";
}

int FoldersDemo() {
    // The wizard's folder page: an edit box over the linked list and drive box.
    const std::string start = MakeTree();
    Owned<DemoForm> form("选择目标文件夹", 281, 225);
    TLabel label;
    label.Create(form, {8, 8, 265, 29}, "设置程序将把 QV 示例程序 安装至下面的文件夹中。单击<下一步>，安装至此文件夹。");
    TEdit edit;
    edit.Create(form, {16, 40, 249, 20});
    TNewDirectoryListBox list;
    list.Create(form, {16, 64, 249, 105});
    list.SetItemHeight(15);
    list.OnChange = [&] { edit.SetText(list.FolderPath() + "\\QV 示例程序"); };
    TNewDriveComboBox drives;
    drives.Create(form, {16, 176, 249, 22});
    drives.SetDirList(&list);
    list.ChangeFolder(start);
    list.SetItemIndex(list.Count() - 2);
    TLabel space;
    space.Create(form, {8, 206, 265, 13}, "程序运行所需最小磁盘空间 1.5 MB。");
    form.Show();
    return RunMessageLoop();
}

int SelDirDemo() {
    // The dialog of the systems below Windows 4.
    test::OldShell old;
    const std::string start = MakeTree();
    Owned<TSelDirForm> form(nullptr);
    form.StartAt(start);
    return form.ShowModal() == mrOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "gauge";
    const UINT seconds = argc > 2 ? static_cast<UINT>(std::atoi(argv[2])) : 8;
    SetTimer(nullptr, 0, seconds * 1000, QuitTimer);
    try {
        if (mode == "gauge") return GaugeDemo();
        if (mode == "folders") return FoldersDemo();
        if (mode == "seldir") return SelDirDemo();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ui_demo: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: ui_demo gauge|folders|seldir [seconds]\n");
    return 2;
}
