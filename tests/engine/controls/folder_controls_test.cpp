// The folder controls on a real folder tree in the Wine prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/ui/folder_paths.h"
#include "engine/common/win_text.h"
#include "engine/common/message_box.h"
#include "engine/controls/current_folder.h"
#include "engine/controls/dir_list.h"
#include "engine/controls/drive_combo.h"
#include "engine/controls/fonts.h"
#include "engine/controls/path_label.h"
#include "old_shell.h"
#include "ui_test_support.h"

namespace qv {
namespace {

void MakeFolder(const std::string& path, DWORD attributes = 0) {
    CreateDirectoryW(Widen(path).c_str(), nullptr);
    if (attributes) SetFileAttributesW(Widen(path).c_str(), attributes);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Widen(path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Narrow(fd.cFileName);
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesW(Widen(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(Widen(child).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(Widen(path).c_str());
}

// Temp\qv-ui-tree\Alpha with the sub-folders zeta, Gamma, beta2, 数据 and a
// hidden and a system folder, and a file.
class FolderTree : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        GetLongPathNameW(temp, temp, MAX_PATH);
        root = Narrow(temp) + "qv-ui-tree";
        RemoveTree(root);
        MakeFolder(root);
        alpha = root + "\\Alpha";
        MakeFolder(alpha);
        for (const char* sub : {"zeta", "Gamma", "beta2", "数据"}) MakeFolder(alpha + "\\" + sub);
        MakeFolder(alpha + "\\hid", FILE_ATTRIBUTE_HIDDEN);
        MakeFolder(alpha + "\\sys", FILE_ATTRIBUTE_SYSTEM);
        HANDLE f = CreateFileW(Widen(alpha + "\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
        savedCurrent = GetCurrentFolder();
        ChangeCurrentFolder(root);
        host.Show();
    }
    void TearDown() override {
        TryChangeCurrentFolder(savedCurrent);
        RemoveTree(root);
    }
    std::vector<std::string> Items(const TNewDirectoryListBox& list) {
        std::vector<std::string> out;
        for (int i = 0; i < list.Count(); ++i) out.push_back(list.Item(i));
        return out;
    }

    std::string root, alpha, savedCurrent;
    test::THostForm host{420, 300};
};

TEST_F(FolderTree, ListShowsAncestorsCurrentAndVisibleSubFoldersSorted) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 200});
    EXPECT_EQ(list.FolderPath(), root);  // starts at the process's current folder
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.ChangeFolder(alpha);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(SameFileName(list.FolderPath(), alpha));
    EXPECT_TRUE(SameFileName(GetCurrentFolder(), alpha));

    const auto ancestors = AncestorItems(list.FolderPath());
    const int n = static_cast<int>(ancestors.size());
    ASSERT_EQ(list.Count(), n + 4);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(list.Item(i), ancestors[static_cast<std::size_t>(i)].Name);
        EXPECT_EQ(list.ItemKind(i), i == n - 1 ? fkCurrent : fkAncestor) << i;
        EXPECT_EQ(list.ItemIndent(i), 4 * i + 4);
    }
    EXPECT_EQ(list.Item(0), list.FolderPath().substr(0, 3));  // "C:\"
    EXPECT_EQ(list.Item(n - 1), "Alpha");
    EXPECT_EQ(list.ItemIndex(), n - 1);  // the current folder is selected
    // Sub-folders: no hidden or system ones, sorted ignoring case.
    const auto all = Items(list);
    const std::vector<std::string> subs(all.begin() + n, all.end());
    EXPECT_EQ(subs, (std::vector<std::string>{"beta2", "Gamma", "zeta", "数据"}));
    for (int i = n; i < n + 4; ++i) {
        EXPECT_EQ(list.ItemKind(i), fkSubFolder);
        EXPECT_EQ(list.ItemIndent(i), 4 * FolderDepth(list.FolderPath()) + 4);
        EXPECT_EQ(list.ItemIndent(i), 4 * n + 4);
    }

    // Full paths of every kind.
    EXPECT_EQ(list.ItemFullPath(0), list.FolderPath().substr(0, 3));
    EXPECT_TRUE(SameFileName(list.ItemFullPath(n - 2), root));
    EXPECT_EQ(list.ItemFullPath(n - 1), list.FolderPath());
    EXPECT_EQ(list.ItemFullPath(n + 1), list.FolderPath() + "\\Gamma");
    EXPECT_EQ(list.ItemFullPath(n + 3), list.FolderPath() + "\\数据");
    EXPECT_EQ(list.ItemFullPath(n + 4), "");

    // Opening a sub-folder with Enter and an ancestor with a double click.
    list.SetItemIndex(n + 1);
    SendMessageW(list.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(SameFileName(list.FolderPath(), alpha + "\\Gamma"));
    EXPECT_EQ(changes, 2);
    list.SetItemIndex(n - 1);  // Alpha, now an ancestor
    SendMessageW(host.Handle(), WM_COMMAND, MAKEWPARAM(list.Id(), LBN_DBLCLK), reinterpret_cast<LPARAM>(list.Handle()));
    EXPECT_TRUE(SameFileName(list.FolderPath(), alpha));
    EXPECT_EQ(changes, 3);
}

TEST_F(FolderTree, FailedAndEmptyChangesLeaveEverythingAsItWas) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 200});
    list.ChangeFolder(alpha);
    HWND label = CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 250, 400, 16, host.Handle(), nullptr, nullptr, nullptr);
    list.SetDirLabel(label);
    wchar_t text[MAX_PATH];
    GetWindowTextW(label, text, MAX_PATH);
    EXPECT_EQ(Narrow(text), list.FolderPath());  // shown at once

    int changes = 0;
    list.OnChange = [&] { ++changes; };
    const auto before = Items(list);
    const std::string path = list.FolderPath();
    const int selected = list.ItemIndex();
    EXPECT_THROW(list.ChangeFolder(alpha + "\\missing"), EInOutError);
    EXPECT_THROW(list.ChangeFolder(alpha + "\\missing\\deeper"), EInOutError);
    EXPECT_EQ(list.FolderPath(), path);
    EXPECT_EQ(Items(list), before);
    EXPECT_EQ(list.ItemIndex(), selected);
    EXPECT_TRUE(SameFileName(GetCurrentFolder(), path));
    EXPECT_EQ(changes, 0);

    // The same folder again, or nothing at all, changes nothing either.
    list.ChangeFolder("");
    list.ChangeFolder(path);
    if (!list.VolumeCaseSensitive()) list.ChangeFolder(UpperCaseFileName(path));
    EXPECT_EQ(changes, 0);

    // A relative name and a bracketed name resolve against the current folder.
    list.ChangeFolder("Gamma");
    EXPECT_TRUE(SameFileName(list.FolderPath(), alpha + "\\Gamma"));
    list.ChangeFolder("[" + alpha.substr(2) + "]");
    EXPECT_TRUE(SameFileName(list.FolderPath(), alpha));
    EXPECT_EQ(changes, 2);
    GetWindowTextW(label, text, MAX_PATH);
    EXPECT_EQ(Narrow(text), list.FolderPath());  // the label followed
    DestroyWindow(label);
}

TEST_F(FolderTree, CaseForDisplayFollowsTheVolume) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 200});
    EXPECT_EQ(list.CaseForDisplay(""), "");
    EXPECT_EQ(list.CaseForDisplay("C:\\"), list.VolumeKeepsCase() ? "C:\\" : "c:\\");
    EXPECT_EQ(list.CaseForDisplay("Gamma"), list.VolumeKeepsCase() || list.VolumeCaseSensitive() ? "Gamma" : "gamma");
    // An all-capital (short) name is lowered unless the volume is case-sensitive.
    EXPECT_EQ(list.CaseForDisplay("PROGRA~1"), list.VolumeCaseSensitive() ? "PROGRA~1" : "progra~1");
    EXPECT_EQ(list.CaseForDisplay("数据"), "数据");
}

TEST_F(FolderTree, DriveListAndLinkingInBothDirections) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 150});
    TNewDriveComboBox drives;
    drives.Create(host, {8, 170, 241, 22});
    drives.SetDirList(&list);
    EXPECT_EQ(list.LinkedDriveBox(), &drives);
    EXPECT_EQ(drives.DriveLetter(), 'c');

    // One item per drive, "x:" then the label in lower case.
    const DWORD mask = GetLogicalDrives();
    int expected = 0;
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i)) ++expected;
    ASSERT_EQ(drives.Count(), expected);
    for (int i = 0; i < drives.Count(); ++i) {
        const std::string t = drives.Item(i);
        ASSERT_GE(t.size(), 2u);
        EXPECT_TRUE(t[0] >= 'a' && t[0] <= 'z') << t;
        EXPECT_EQ(t[1], ':');
        if (drives.ItemKind(i) != dkFloppy) {
            ASSERT_GE(t.size(), 3u);
            EXPECT_EQ(t[2], ' ');
            EXPECT_EQ(LowerCaseFileName(t), t);
        } else {
            EXPECT_EQ(t.size(), 2u);
        }
        EXPECT_EQ(DescribeDrive(t[0], tcLowerCase).Text, t);
    }
    const int cIndex = drives.ItemIndex();
    ASSERT_GE(cIndex, 0);
    EXPECT_EQ(drives.Item(cIndex).substr(0, 2), "c:");
    EXPECT_EQ(drives.ItemKind(cIndex), dkHard);

    // Upper case: the same drives, letters and labels in capitals.
    drives.SetTextCase(tcUpperCase);
    EXPECT_EQ(drives.DriveLetter(), 'C');
    EXPECT_EQ(drives.Item(drives.ItemIndex()).substr(0, 2), "C:");
    for (int i = 0; i < drives.Count(); ++i) EXPECT_EQ(UpperCaseFileName(drives.Item(i)), drives.Item(i));
    drives.SetTextCase(tcLowerCase);

    // A folder on another drive moves the combo box there: each control
    // reports the change once.
    if (!(mask & (1u << ('z' - 'a')))) GTEST_SKIP() << "no drive Z: in this prefix";
    int listChanges = 0, driveChanges = 0;
    list.OnChange = [&] { ++listChanges; };
    drives.OnChange = [&] { ++driveChanges; };
    list.ChangeFolder("Z:\\tmp");
    EXPECT_EQ(listChanges, 1);
    EXPECT_EQ(driveChanges, 1);
    EXPECT_EQ(drives.DriveLetter(), 'z');
    EXPECT_EQ(drives.Item(drives.ItemIndex()).substr(0, 2), "z:");
    EXPECT_TRUE(SameFileName(list.FolderPath(), "Z:\\tmp"));

    // Picking drive C in the combo box, as the user does, moves the list back.
    listChanges = driveChanges = 0;
    SendMessageW(drives.Handle(), CB_SETCURSEL, static_cast<WPARAM>(cIndex), 0);
    SendMessageW(host.Handle(), WM_COMMAND, MAKEWPARAM(drives.Id(), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(drives.Handle()));
    EXPECT_EQ(drives.DriveLetter(), 'c');
    // The box shows "c:", the system is handed "C:": every path the list
    // proposes then reads "C:\...".
    EXPECT_EQ(list.FolderPath().substr(0, 2), "C:");
    EXPECT_EQ(GetCurrentFolder().substr(0, 2), "C:");
    EXPECT_EQ(listChanges, 1);
    EXPECT_EQ(driveChanges, 1);
}

TEST_F(FolderTree, UnlinkingAndDestroyingEitherSide) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 150});
    {
        TNewDriveComboBox drives;
        drives.Create(host, {8, 170, 241, 22});
        drives.SetDirList(&list);
        TNewDirectoryListBox other;
        other.Create(host, {260, 8, 150, 150});
        drives.SetDirList(&other);
        EXPECT_EQ(list.LinkedDriveBox(), nullptr);
        EXPECT_EQ(other.LinkedDriveBox(), &drives);
        drives.SetDirList(&list);
        // `other` goes first: nothing refers to it any more.
    }
    // The combo box is gone: the list forgot it and changes drive by itself.
    EXPECT_EQ(list.LinkedDriveBox(), nullptr);
    list.ChangeFolder(alpha);
    EXPECT_TRUE(SameFileName(list.FolderPath(), alpha));

    auto drives = std::make_unique<TNewDriveComboBox>();
    drives->Create(host, {8, 170, 241, 22});
    {
        TNewDirectoryListBox shortLived;
        shortLived.Create(host, {260, 8, 150, 150});
        drives->SetDirList(&shortLived);
    }
    EXPECT_EQ(drives->DirList(), nullptr);
    drives->ChangeDrive('c');  // must not touch the destroyed list
}

TEST_F(FolderTree, GlyphsInTwoLooksRecolouredForNormalAndSelectedItems) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 150});
    const TGlyph& closed = list.Glyph(fkSubFolder);
    ASSERT_FALSE(closed.Empty());
    EXPECT_EQ(closed.Width(), 16);
    auto pixel = [](HBITMAP bmp, int x, int y) {
        test::PixelCanvas c(16, 16);
        MemoryDC mem(c.dc());
        SelectIn sel(mem.get(), bmp);
        BitBlt(c.dc(), 0, 0, 16, 16, mem.get(), 0, 0, SRCCOPY);
        return c.Pixel(x, y);
    };
    // The background (bottom-left) becomes the list's colour or the highlight.
    EXPECT_EQ(pixel(closed.Normal(), 0, 15), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(pixel(closed.Selected(), 0, 15), GetSysColor(COLOR_HIGHLIGHT));
    // The new look is yellow where the old one is white.
    ASSERT_TRUE(HasWin4Shell());
    EXPECT_EQ(pixel(closed.Normal(), 5, 6), RGB(255, 255, 0));
    list.SetColor(RGB(10, 20, 30));
    EXPECT_EQ(pixel(list.Glyph(fkSubFolder).Normal(), 0, 15), RGB(10, 20, 30));

    TNewDriveComboBox drives;
    TNewDirectoryListBox oldList;
    {
        test::OldShell old;
        drives.Create(host, {8, 170, 241, 22});
        oldList.Create(host, {260, 8, 150, 150});
    }
    EXPECT_EQ(pixel(oldList.Glyph(fkSubFolder).Normal(), 5, 6), RGB(255, 255, 255));
    for (int k = 0; k < 5; ++k) EXPECT_FALSE(drives.Glyph(static_cast<TDriveKind>(k)).Empty()) << k;
}

TEST_F(FolderTree, ADriveThatCannotBeEnteredChangesNothing) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 150});
    TNewDriveComboBox drives;
    drives.Create(host, {8, 170, 241, 22});
    drives.SetDirList(&list);
    list.ChangeFolder(alpha);
    const std::string path = list.FolderPath();
    ASSERT_EQ(GetLogicalDrives() & (1u << ('q' - 'a')), 0u) << "drive Q: exists";
    EXPECT_THROW(drives.ChangeDrive('q'), EInOutError);
    EXPECT_EQ(drives.DriveLetter(), 'c');
    EXPECT_EQ(list.FolderPath(), path);

    // The user picks an item of a drive that cannot be entered: the error
    // is shown, and no item stays selected.
    std::vector<std::string> shown;
    SetMsgBoxAnswerer([&](const MsgBoxQuestion& q) {
        shown.push_back(q.Text);
        return IDOK;
    });
    const int q = static_cast<int>(SendMessageW(drives.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"q:")));
    SendMessageW(drives.Handle(), CB_SETCURSEL, static_cast<WPARAM>(q), 0);
    SendMessageW(host.Handle(), WM_COMMAND, MAKEWPARAM(drives.Id(), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(drives.Handle()));
    SetMsgBoxAnswerer({});
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(drives.ItemIndex(), -1);
    EXPECT_EQ(drives.DriveLetter(), 'c');
    EXPECT_EQ(list.FolderPath(), path);
}

TEST_F(FolderTree, ItemHeightsFollowTheFontWithTheirMinimum) {
    TNewDirectoryListBox list;
    list.Create(host, {8, 8, 241, 150});
    TNewDriveComboBox drives;
    drives.Create(host, {8, 170, 241, 22});
    // The form's font (12 pixels) is below both minimums.
    EXPECT_EQ(list.ItemHeight(), 15);
    EXPECT_EQ(drives.ItemHeight(), 16);
    Font big = CreateUiFont({"Arial", -30});
    SendMessageW(list.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(big.get()), TRUE);
    SendMessageW(drives.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(big.get()), TRUE);
    EXPECT_EQ(list.ItemHeight(), CharHeight(big.get()));
    EXPECT_EQ(drives.ItemHeight(), CharHeight(big.get()));
    EXPECT_GE(list.ItemHeight(), 30);
    SendMessageW(list.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(host.ChildFont()), TRUE);
    SendMessageW(drives.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(host.ChildFont()), TRUE);
    EXPECT_EQ(list.ItemHeight(), 15);
    EXPECT_EQ(drives.ItemHeight(), 16);
}

TEST(PathLabel, ShortensItsCaptionToItsWidth) {
    test::THostForm host(420, 100);
    TNewPathLabel label;
    label.Create(host, {8, 24, 297, 16}, "C:\\Program Files\\App & Co\\Data\\File.txt");
    EXPECT_EQ(label.DisplayText(), "C:\\Program Files\\App & Co\\Data\\File.txt");
    label.SetBounds({8, 24, 120, 16});
    const std::string shown = label.DisplayText();
    EXPECT_NE(shown, label.Text());
    EXPECT_EQ(shown.substr(shown.size() - 8), "File.txt");
    EXPECT_NE(shown.find("...\\"), std::string::npos);
    label.SetText("VeryLongFileNameWithoutFolders.txt");
    label.SetBounds({8, 24, 30, 16});
    EXPECT_EQ(label.DisplayText(), "VeryLongFileNameWithoutFolders.txt");
}

}  // namespace
}  // namespace qv
