// Picking a folder: the setup's own dialog below Windows 4, the shell's
// browser from 4 on.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "engine/common/win_text.h"
#include "engine/controls/current_folder.h"
#include "engine/controls/sel_dir_form.h"
#include "engine/controls/select_folder.h"
#include "engine/common/platform.h"
#include "old_shell.h"
#include "ui_test_support.h"

namespace qv {
namespace {

HWND FindSelDirDialog() { return test::FindThreadWindow(Widen("选择文件夹"), L"QvForm"); }

// The dialog with its controls in reach.
class TTestSelDirForm : public TSelDirForm {
public:
    using TSelDirForm::TSelDirForm;
    using TSelDirForm::CancelButton, TSelDirForm::DirEdit, TSelDirForm::DirList, TSelDirForm::DriveList,
          TSelDirForm::OKButton, TSelDirForm::SelectDirectoryLabel;
};

TEST(SelectFolder, OldDialogLayoutAndTexts) {
    TTestSelDirForm form(nullptr);
    EXPECT_EQ(form.Text(), "选择文件夹");
    const RECT rc = form.ClientRect();
    EXPECT_EQ(rc.right, 257);
    EXPECT_EQ(rc.bottom, 233);
    EXPECT_EQ(form.SelectDirectoryLabel.Text(), "请给出下一张磁盘位置。");
    EXPECT_EQ(form.OKButton.Text(), "确定");
    EXPECT_EQ(form.CancelButton.Text(), "取消");
    EXPECT_EQ(form.DirEdit.Text(), form.DirList.FolderPath());
    EXPECT_EQ(form.DriveList.DirList(), &form.DirList);
    const TRect list = form.DirList.Bounds();
    EXPECT_EQ(list.Left, 8);
    EXPECT_EQ(list.Top, 64);
    EXPECT_EQ(list.Width, 241);
    EXPECT_EQ(list.Height, 97);
    EXPECT_EQ(form.DirList.ItemHeight(), 15);
    const TRect ok = form.OKButton.Bounds();
    EXPECT_EQ(ok.Left, 96);
    EXPECT_EQ(ok.Top, 201);
    // A change of folder in the list is copied into the edit box.
    form.StartAt("C:\\windows");
    EXPECT_EQ(form.DirEdit.Text(), form.DirList.FolderPath());
    EXPECT_EQ(form.Folder(), form.DirList.FolderPath());
}

TEST(SelectFolder, OldDialogReturnsTheTypedTextUnchanged) {
    test::OldShell old;
    const std::string current = GetCurrentFolder();
    std::string path = "Q:\\no such drive\\x";
    std::string shownAtStart;
    test::TimerAction act([&] {
        HWND dlg = FindSelDirDialog();
        ASSERT_NE(dlg, nullptr);
        HWND edit = test::FindChild(dlg, L"Edit");
        wchar_t text[MAX_PATH];
        GetWindowTextW(edit, text, MAX_PATH);
        shownAtStart = Narrow(text);
        SetWindowTextW(edit, L"  not a folder?  ");
        SendMessageW(test::FindChild(dlg, L"Button", Widen("确定")), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(SelectFolder(path, nullptr));
    EXPECT_TRUE(act.Ran());
    EXPECT_EQ(shownAtStart, current);  // a missing drive opens at the current folder
    EXPECT_EQ(path, "  not a folder?  ");
    EXPECT_EQ(FindSelDirDialog(), nullptr);
}

TEST(SelectFolder, OldDialogCancelAndCloseBoxLeaveThePath) {
    test::OldShell old;
    std::string path = "C:\\windows";
    {
        test::TimerAction act([&] {
            HWND dlg = FindSelDirDialog();
            ASSERT_NE(dlg, nullptr);
            // Started at the given folder.
            wchar_t text[MAX_PATH];
            GetWindowTextW(test::FindChild(dlg, L"Edit"), text, MAX_PATH);
            EXPECT_TRUE(SameFileName(Narrow(text), "C:\\windows"));
            SendMessageW(test::FindChild(dlg, L"Button", Widen("取消")), BM_CLICK, 0, 0);
        });
        EXPECT_FALSE(SelectFolder(path, nullptr));
    }
    {
        test::TimerAction act([&] { PostMessageW(FindSelDirDialog(), WM_CLOSE, 0, 0); });
        EXPECT_FALSE(SelectFolder(path, nullptr));
    }
    EXPECT_EQ(path, "C:\\windows");
}

TEST(SelectFolder, ShellBrowserCancelledLeavesThePath) {
    ASSERT_TRUE(HasWin4Shell());
    test::THostForm owner;
    owner.Show();
    std::string path = "C:\\start";
    bool sawBrowser = false;
    test::TimerAction act([&] {
        // The shell's browser: a standard dialog owned by our window.
        HWND dlg = GetLastActivePopup(owner.Handle());
        wchar_t cls[64] = {};
        GetClassNameW(dlg, cls, 64);
        sawBrowser = dlg != owner.Handle() && wcscmp(cls, L"#32770") == 0;
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    }, 500);
    EXPECT_FALSE(SelectFolder(path, owner.Handle()));
    EXPECT_TRUE(sawBrowser);
    EXPECT_EQ(path, "C:\\start");
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t buf[MAX_PATH] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buf;
    tv.cchTextMax = MAX_PATH;
    TreeView_GetItem(tree, &tv);
    return buf;
}

// Walks down the browser's tree from the root: at each level the child
// whose text holds one of the words; selects the last one and presses OK.
void PickInBrowser(HWND dlg, const std::vector<std::vector<std::wstring>>& levels) {
    HWND tree = test::FindChild(dlg, L"SysTreeView32");
    ASSERT_NE(tree, nullptr);
    HTREEITEM item = TreeView_GetRoot(tree);
    for (const auto& words : levels) {
        TreeView_Expand(tree, item, TVE_EXPAND);
        std::string seen;
        HTREEITEM found = nullptr;
        for (HTREEITEM child = TreeView_GetChild(tree, item); child && !found;
             child = TreeView_GetNextSibling(tree, child)) {
            const std::wstring text = ItemText(tree, child);
            seen += Narrow(text) + "|";
            for (const auto& w : words)
                if (text.find(w) != std::wstring::npos) found = child;
        }
        ASSERT_NE(found, nullptr) << "among " << seen;
        item = found;
    }
    TreeView_SelectItem(tree, item);
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
}

TEST(SelectFolder, ShellBrowserReturnsAFileSystemFolder) {
    test::THostForm owner;
    owner.Show();
    std::string path = "unchanged";
    test::TimerAction act(
        [&] {
            PickInBrowser(GetLastActivePopup(owner.Handle()), {{L"My Computer", L"我的电脑", L"计算机", L"Computer"}, {L"C:"}});
        },
        500);
    EXPECT_TRUE(SelectFolder(path, owner.Handle()));
    EXPECT_TRUE(SameFileName(path, "C:\\")) << path;
}

TEST(SelectFolder, ShellBrowserGivesFalseForAFolderWithoutAPath) {
    test::THostForm owner;
    owner.Show();
    std::string path = "unchanged";
    // "My Computer" is a virtual folder: the browser returns its item list,
    // which has no file-system path. (Should a browser refuse it instead,
    // Cancel ends the dialog, with the same result.)
    test::TimerAction act(
        [&] { PickInBrowser(GetLastActivePopup(owner.Handle()), {{L"My Computer", L"我的电脑", L"计算机", L"Computer"}}); },
        500);
    test::TimerAction cancel([&] { PostMessageW(GetLastActivePopup(owner.Handle()), WM_COMMAND, IDCANCEL, 0); }, 3000);
    EXPECT_FALSE(SelectFolder(path, owner.Handle()));
    EXPECT_EQ(path, "unchanged");
}

}  // namespace
}  // namespace qv
