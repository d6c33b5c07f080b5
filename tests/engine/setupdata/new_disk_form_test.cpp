// The next-disk dialog, driven as a user drives it: texts typed into its
// edit box, its buttons clicked, keys pressed, while it runs modally.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/io/streams.h"
#include "data_file_fixtures.h"
#include "engine/common/win_text.h"
#include "engine/controls/current_folder.h"
#include "engine/setupdata/data_file_locator.h"
#include "engine/setupdata/new_disk_form.h"
#include "old_shell.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "ui_test_support.h"

namespace qv {
namespace {

const char kCaption[] = "设置程序需要下一张磁盘";

HWND FindNewDiskDialog() { return test::FindThreadWindow(Widen(kCaption), L"QvForm"); }

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    const int n = GetWindowTextW(window, text, 1024);
    return Narrow(text, static_cast<std::size_t>(n));
}

// The texts of the static controls of a window, in creation order.
std::vector<std::string> StaticTexts(HWND parent) {
    std::vector<std::string> texts;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM lp) -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (_wcsicmp(cls, L"Static") == 0) reinterpret_cast<std::vector<std::string>*>(lp)->push_back(WindowText(child));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

std::string DiskLabelText(int disk) {
    return "请插入 " + std::to_string(disk) +
           " 号磁盘，然后按确定。\r\n\r\n如果安装盘文件不在下面列出的磁盘或文件夹中，请输入正确的路径名或按<浏览>。";
}

void Type(HWND edit, const std::string& text) { SetWindowTextW(edit, Widen(text).c_str()); }

HWND Button(HWND dialog, const std::string& caption) { return test::FindChild(dialog, L"Button", Widen(caption)); }

void PressKey(WPARAM key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 0);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000000);
}

// Runs the steps one after another from timers of the running message
// loop, each `gapMs` after the start of the one before. Only one timer is
// armed at a time, so the order holds even when a step opens a nested
// modal loop (the next step then runs inside it).
class StepSequence {
public:
    StepSequence(std::vector<std::function<void()>> steps, UINT gapMs = 300) : steps_(std::move(steps)), gap_(gapMs) {
        active_ = this;
        Arm();
    }
    ~StepSequence() {
        if (timer_) KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    StepSequence(const StepSequence&) = delete;
    StepSequence& operator=(const StepSequence&) = delete;
    std::size_t StepsRun() const { return next_; }

private:
    void Arm() { timer_ = SetTimer(nullptr, 0, gap_, Tick); }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        StepSequence* self = active_;
        KillTimer(nullptr, id);
        if (!self || id != self->timer_) return;
        self->timer_ = 0;
        const std::size_t step = self->next_++;
        if (self->next_ < self->steps_.size()) self->Arm();
        self->steps_[step]();
    }

    static inline StepSequence* active_ = nullptr;
    std::vector<std::function<void()>> steps_;
    UINT gap_;
    UINT_PTR timer_ = 0;
    std::size_t next_ = 0;
};

void ExpectBounds(const TWindow& control, int left, int top, int width, int height) {
    const TRect r = control.Bounds();
    EXPECT_EQ(r.Left, left);
    EXPECT_EQ(r.Top, top);
    EXPECT_EQ(r.Width, width);
    EXPECT_EQ(r.Height, height);
}

TEST(NewDiskForm, LayoutTextsAndThePictureWithoutItsBlueBackground) {
    Owned<TNewDiskForm> form([] { return true; });
    EXPECT_EQ(form.Text(), kCaption);
    const RECT client = form.ClientRect();
    EXPECT_EQ(client.right, 377);
    EXPECT_EQ(client.bottom, 169);
    RECT outer{};
    GetWindowRect(form.Handle(), &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
    const LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    LOGFONTW font{};
    GetObjectW(form.ChildFont(), sizeof font, &font);
    EXPECT_EQ(Narrow(font.lfFaceName), "宋体");
    EXPECT_EQ(font.lfHeight, -12);

    ExpectBounds(form.DiskPaintBox, 8, 8, 48, 48);
    ExpectBounds(form.SelectDiskLabel, 72, 8, 297, 72);
    ExpectBounds(form.PathEdit, 8, 96, 281, 20);
    ExpectBounds(form.BrowseButton, 296, 95, 73, 23);
    ExpectBounds(form.OKButton, 216, 137, 73, 23);
    ExpectBounds(form.CancelButton, 296, 137, 73, 23);
    EXPECT_EQ(form.PathLabel.Bounds().Left, 8);
    EXPECT_EQ(form.PathLabel.Bounds().Top, 80);
    EXPECT_GT(form.PathLabel.Bounds().Width, 0);
    EXPECT_EQ(GetWindowLongW(form.SelectDiskLabel.Handle(), GWL_STYLE) & SS_TYPEMASK, SS_LEFT);  // wraps

    EXPECT_EQ(form.PathLabel.Text(), "路径(&P):");
    EXPECT_EQ(form.BrowseButton.Text(), "浏览(&B)...");
    EXPECT_EQ(form.OKButton.Text(), "确定");
    EXPECT_EQ(form.CancelButton.Text(), "取消");
    EXPECT_EQ(GetWindowLongW(form.OKButton.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

    // Tab order: the edit box, Browse, OK, Cancel, and round again.
    const std::vector<HWND> order = {form.PathEdit.Handle(), form.BrowseButton.Handle(), form.OKButton.Handle(),
                                     form.CancelButton.Handle(), form.PathEdit.Handle()};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(GetNextDlgTabItem(form.Handle(), order[i], FALSE), order[i + 1]) << "after tab stop " << i;

    // The picture over a red canvas: red shows through exactly where the
    // bitmap is pure blue, everywhere else the bitmap's own colour.
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(form.DiskBitmap.get(), sizeof info, &info));
    ASSERT_EQ(info.bmWidth, 48);
    ASSERT_EQ(std::abs(info.bmHeight), 48);
    std::vector<std::uint32_t> own(48 * 48);
    BITMAPINFO bi = TopDownDib32(48, 48);
    const WindowDC screen(nullptr);
    ASSERT_EQ(GetDIBits(screen.get(), form.DiskBitmap.get(), 0, 48, own.data(), &bi, DIB_RGB_COLORS), 48);
    test::PixelCanvas canvas(48, 48, RGB(255, 0, 0));
    form.DiskPaintBox.OnPaint(canvas.dc(), RECT{0, 0, 48, 48});
    int blue = 0, mismatches = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const std::uint32_t p = own[static_cast<std::size_t>(y) * 48 + x] & 0xFFFFFF;
            const COLORREF expected = p == 0x0000FF ? RGB(255, 0, 0) : RGB(p >> 16, (p >> 8) & 0xFF, p & 0xFF);
            if (p == 0x0000FF) ++blue;
            if (canvas.Pixel(x, y) != expected) ++mismatches;
        }
    EXPECT_GT(blue, 0);
    EXPECT_LT(blue, 48 * 48);
    EXPECT_EQ(mismatches, 0);
}

// SETUP.1 beside the source, SETUP.2 in ..\DISK2, SETUP.3 and SETUP.4 in a
// folder of their own that the user names after a wrong one; one file's
// stream runs through all four.
TEST(NewDiskForm, OneFileAcrossFourDisksAsksOnlyForTheDiskNowhereToBeFound) {
    test::ScratchFolder root("新盘 disks");
    const std::string staging = root.path() + "\\staging";
    const std::string source = root.path() + "\\DISK1";
    const std::string elsewhere = root.path() + "\\其他 copy";
    const std::string wrong = root.path() + "\\wrong";
    for (const std::string& folder : {staging, source, root.path() + "\\DISK2", elsewhere, wrong})
        test::MakeFolders(folder);
    const test::DataFileSet set =
        test::WriteDataFiles(staging, 16000, {test::MixedContent(600, 1), test::MixedContent(100000, 2)});
    const test::StoredFile& file = set.Files[1];
    ASSERT_EQ(set.DiskCount, 4);
    ASSERT_EQ(file.Location.FirstDisk, 1);
    ASSERT_EQ(file.Location.LastDisk, 4);
    test::MoveFileTo(staging + "\\SETUP.1", source + "\\SETUP.1");
    test::MoveFileTo(staging + "\\SETUP.2", root.path() + "\\DISK2\\SETUP.2");
    test::MoveFileTo(staging + "\\SETUP.3", elsewhere + "\\SETUP.3");
    test::MoveFileTo(staging + "\\SETUP.4", elsewhere + "\\SETUP.4");
    // A damaged SETUP.4 in the source folder: reading it would fail, so
    // the folder the user chose must be looked in first.
    test::Bytes decoy = test::ReadFileBytes(elsewhere + "\\SETUP.4");
    decoy.push_back(0);
    test::WriteFileBytes(source + "\\SETUP.4", decoy);

    test::ScriptedBoxes boxes(IDOK);
    std::vector<bool> dialogEnabledDuringBox;
    boxes.duringBox = [&] { dialogEnabledDuringBox.push_back(IsWindowEnabled(FindNewDiskDialog()) != FALSE); };
    int exitQuestions = 0;
    const TDiskPrompt dialog = NextDiskDialog([&] { return ++exitQuestions, false; });
    std::vector<int> disksAskedFor;
    TDataFileLocator locator({source, "", 0}, [&](int disk, const std::string& name, std::string& path) {
        disksAskedFor.push_back(disk);
        return dialog(disk, name, path);
    });

    std::vector<std::string> labelsShown;
    std::string pathOffered;
    std::vector<bool> openBeforeAttempt;
    StepSequence steps({
        [&] {
            HWND dlg = FindNewDiskDialog();
            ASSERT_NE(dlg, nullptr);
            labelsShown = StaticTexts(dlg);
            HWND edit = test::FindChild(dlg, L"Edit");
            pathOffered = WindowText(edit);
            Type(edit, wrong + "\\");
            SendMessageW(Button(dlg, "确定"), BM_CLICK, 0, 0);
        },
        [&] {
            HWND dlg = FindNewDiskDialog();
            openBeforeAttempt.push_back(dlg != nullptr);
            ASSERT_NE(dlg, nullptr);
            Type(test::FindChild(dlg, L"Edit"), "C:");
            SendMessageW(Button(dlg, "确定"), BM_CLICK, 0, 0);
        },
        [&] {
            HWND dlg = FindNewDiskDialog();
            openBeforeAttempt.push_back(dlg != nullptr);
            ASSERT_NE(dlg, nullptr);
            HWND edit = test::FindChild(dlg, L"Edit");
            Type(edit, "  " + elsewhere + "  ");
            SetFocus(edit);
            PressKey(VK_RETURN);
        },
    });
    MemoryOutStream out;
    std::int64_t read = 0;
    locator.Extract(file.File, file.Location, out, [&](std::size_t n) { read += static_cast<std::int64_t>(n); });

    EXPECT_EQ(steps.StepsRun(), 3u);
    EXPECT_TRUE(out.Bytes() == file.Content);
    EXPECT_EQ(read, file.File.CompressedSize);
    EXPECT_EQ(disksAskedFor, std::vector<int>{3});
    EXPECT_EQ(exitQuestions, 0);
    EXPECT_EQ(labelsShown, (std::vector<std::string>{DiskLabelText(3), "路径(&P):"}));
    EXPECT_EQ(pathOffered, source);
    EXPECT_EQ(openBeforeAttempt, (std::vector<bool>{true, true}));
    EXPECT_EQ(locator.LastDataFileDir(), elsewhere + "\\");
    EXPECT_EQ(FindNewDiskDialog(), nullptr);

    const std::string tail = "\"上未找到。请插入正确的磁盘或选择其他文件夹";
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].Text, "文件\"SETUP.3\" 在\"" + wrong + tail);
    EXPECT_EQ(boxes.asked[1].Text, "文件\"SETUP.3\" 在\"C:\\" + tail);
    for (const MsgBoxQuestion& box : boxes.asked) {
        EXPECT_EQ(box.Caption, "Error");
        EXPECT_EQ(box.Kind, mbtError);
        EXPECT_EQ(box.Flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    }
    EXPECT_EQ(dialogEnabledDuringBox, (std::vector<bool>{false, false}));
}

// Browse starts the folder picker at the typed folder and puts the chosen
// one into the edit box; every way of cancelling asks the exit question,
// and only Yes gives up the disk.
TEST(NewDiskForm, BrowseFillsThePathAndCancelLeavesOnlyWhenTheUserConfirms) {
    test::OldShell oldShell;  // the setup's own folder dialog, a window of this thread
    test::ScratchFolder root("取消 browse");
    const std::string picked = root.path() + "\\picked";
    test::MakeFolders(picked);
    test::ScriptedBoxes boxes(IDOK);

    std::vector<bool> answers = {false, false, true};
    std::vector<bool> openAtQuestion;
    TDataFileLocator locator({root.path(), "", 0}, NextDiskDialog([&] {
                                 openAtQuestion.push_back(FindNewDiskDialog() != nullptr);
                                 return openAtQuestion.size() <= answers.size() && answers[openAtQuestion.size() - 1];
                             }));

    std::vector<std::string> labelsShown;
    bool acceleratorFocusedEdit = false;
    std::string browserStartedAt, pathAfterBrowse;
    HWND dlg = nullptr, edit = nullptr;
    StepSequence steps({
        [&] {
            dlg = FindNewDiskDialog();
            ASSERT_NE(dlg, nullptr);
            edit = test::FindChild(dlg, L"Edit");
            labelsShown = StaticTexts(dlg);
            SetFocus(Button(dlg, "取消"));
            PostMessageW(GetFocus(), WM_SYSCHAR, 'p', 0x20000001);  // Alt+P
        },
        [&] {
            acceleratorFocusedEdit = GetFocus() == edit;
            Type(edit, "  C:\\windows  ");
            // The folder picker runs its own modal loop; the next step runs inside it.
            SendMessageW(Button(dlg, "浏览(&B)..."), BM_CLICK, 0, 0);
            pathAfterBrowse = WindowText(edit);
        },
        [&] {
            HWND picker = test::FindThreadWindow(Widen("选择文件夹"), L"QvForm");
            ASSERT_NE(picker, nullptr);
            HWND pickerEdit = test::FindChild(picker, L"Edit");
            browserStartedAt = WindowText(pickerEdit);
            Type(pickerEdit, picked);
            SendMessageW(Button(picker, "确定"), BM_CLICK, 0, 0);
        },
        [&] { SendMessageW(Button(dlg, "取消"), BM_CLICK, 0, 0); },
        [&] {
            SetFocus(edit);
            PressKey(VK_ESCAPE);
        },
        [&] { PostMessageW(dlg, WM_CLOSE, 0, 0); },
    });
    EXPECT_THROW(locator.LocateDataFile(5), EAbort);

    EXPECT_EQ(steps.StepsRun(), 6u);
    EXPECT_EQ(labelsShown, (std::vector<std::string>{DiskLabelText(5), "路径(&P):"}));
    EXPECT_TRUE(acceleratorFocusedEdit);
    EXPECT_TRUE(SameFileName(browserStartedAt, "C:\\windows")) << browserStartedAt;
    EXPECT_EQ(pathAfterBrowse, picked);
    EXPECT_EQ(openAtQuestion, (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(boxes.asked.empty());  // OK was never pressed
    EXPECT_EQ(locator.LastDataFileDir(), root.path());
    EXPECT_EQ(FindNewDiskDialog(), nullptr);
}

}  // namespace
}  // namespace qv
