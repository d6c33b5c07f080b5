// The pure arithmetic behind the controls and the background window.
#include <gtest/gtest.h>

#include <vector>

#include "core/ui/background.h"
#include "core/ui/folder_paths.h"
#include "core/ui/gauge_math.h"
#include "core/ui/path_shorten.h"
#include "core/ui/win_math.h"

namespace qv {
namespace {

TEST(WinMath, MulDivRoundsHalvesAwayFromZeroAndFailsLikeWindows) {
    EXPECT_EQ(WinMulDiv(293, 50, 100), 147);  // 146.5
    EXPECT_EQ(WinMulDiv(-293, 50, 100), -147);
    EXPECT_EQ(WinMulDiv(10, 1, 3), 3);
    EXPECT_EQ(WinMulDiv(10, 2, 3), 7);
    EXPECT_EQ(WinMulDiv(5, 5, 0), -1);
    EXPECT_EQ(WinMulDiv(0x7FFFFFFF, 4, 2), -1);  // result beyond 32 bits
    EXPECT_EQ(WinMulDiv(0x40000000, 0x40000000, 0x40000000), 0x40000000);  // 64-bit product
    // A 33-bit difference as the divisor: the full 32-bit range.
    EXPECT_EQ(MulDivRounded(100, 4294967294LL / 2, 4294967294LL), 50);
}

TEST(GaugeMath, PercentAndFilledWidth) {
    GaugeRange r{0, 100, 50};
    EXPECT_EQ(GaugePercentText(r), "50 %");
    EXPECT_EQ(GaugeFilledWidth(293, r), 147);
    r.Progress = 100;
    EXPECT_EQ(GaugePercentText(r), "100 %");
    EXPECT_EQ(GaugeFilledWidth(293, r), 293);
    r.Progress = 0;
    EXPECT_EQ(GaugePercentText(r), "0 %");
    EXPECT_EQ(GaugeFilledWidth(293, r), 0);
    // An empty range: "0 %" and nothing filled.
    GaugeRange empty{7, 7, 7};
    EXPECT_EQ(GaugePercentText(empty), "0 %");
    EXPECT_EQ(GaugeFilledWidth(293, empty), 0);
    // The widest range does not wrap in the subtraction.
    GaugeRange wide{-2147483647 - 1, 2147483647, 0};
    EXPECT_EQ(GaugePercentText(wide), "50 %");
    EXPECT_EQ(GaugeFilledWidth(200, wide), 100);
    // Progress and a range with negative values.
    GaugeRange neg{-200, -100, -150};
    EXPECT_EQ(GaugePercentText(neg), "50 %");
    EXPECT_EQ(GaugeFilledWidth(10, neg), 5);
}

TEST(GaugeMath, ClampAndErrorTexts) {
    EXPECT_EQ(ClampGaugeProgress(150, 0, 100), 100);
    EXPECT_EQ(ClampGaugeProgress(-5, 0, 100), 0);
    EXPECT_EQ(ClampGaugeProgress(42, 0, 100), 42);
    EXPECT_EQ(GaugeMinValueError(100), "Value must be between -2147483647 and 99");
    EXPECT_EQ(GaugeMaxValueError(10), "Value must be between 11 and 2147483647");
    // The ends of the 32-bit range are printed, not wrapped.
    EXPECT_EQ(GaugeMinValueError(-2147483647 - 1), "Value must be between -2147483647 and -2147483649");
    EXPECT_EQ(GaugeMaxValueError(2147483647), "Value must be between 2147483648 and 2147483647");
}

// One unit per byte: the widths of the steps are easy to follow.
int ByteWidth(const std::string& s) { return static_cast<int>(s.size()); }

TEST(ShortenPath, StepByStep) {
    const std::string path = "C:\\Program Files\\App\\Data\\File.txt";
    std::vector<std::string> seen;
    for (int w = 60; w >= 0; --w) {
        auto s = ShortenPathToWidth(path, ByteWidth, w);
        if (seen.empty() || seen.back() != s) seen.push_back(s);
    }
    const std::vector<std::string> expected = {
        "C:\\Program Files\\App\\Data\\File.txt", "C:\\...\\App\\Data\\File.txt", "C:\\...\\Data\\File.txt",
        "C:\\...\\File.txt", "...\\File.txt", "File.txt"};
    EXPECT_EQ(seen, expected);
    // Exactly at the limit nothing is shortened; one pixel less shortens.
    EXPECT_EQ(ShortenPathToWidth(path, ByteWidth, static_cast<int>(path.size())), path);
    EXPECT_EQ(ShortenPathToWidth(path, ByteWidth, static_cast<int>(path.size()) - 1), "C:\\...\\App\\Data\\File.txt");
}

TEST(ShortenPath, NamesAndPathsWithoutDrive) {
    // A bare name stays whatever the width.
    EXPECT_EQ(ShortenPathToWidth("VeryLongFileName.dat", ByteWidth, 3), "VeryLongFileName.dat");
    EXPECT_EQ(ShortenPathToWidth("", ByteWidth, 0), "");
    // A relative path and a share path lose folders the same way.
    EXPECT_EQ(ShortenPathToWidth("A\\B\\C\\f.txt", ByteWidth, 10), "...\\f.txt");
    EXPECT_EQ(ShortenPathToWidth("\\\\srv\\share\\dir\\f.txt", ByteWidth, 18), "\\...\\dir\\f.txt");
    // Chinese folder names are measured as the text they are.
    EXPECT_EQ(ShortenPathToWidth("D:\\程序\\文件\\a.b", ByteWidth, 17), "D:\\...\\文件\\a.b");
}

TEST(ShortenPath, DropFirstFolder) {
    std::string d = "\\Program Files\\App\\";
    DropFirstFolder(d);
    EXPECT_EQ(d, "\\...\\App\\");
    DropFirstFolder(d);
    EXPECT_EQ(d, "\\...\\");
    d = "...\\";
    DropFirstFolder(d);
    EXPECT_EQ(d, "");
    d = "\\";
    DropFirstFolder(d);
    EXPECT_EQ(d, "");
    d = "A\\B\\";
    DropFirstFolder(d);
    EXPECT_EQ(d, "...\\B\\");
}

TEST(FolderPaths, DrivePrefixAndDepth) {
    EXPECT_EQ(DrivePrefix("C:\\WINDOWS"), "C:");
    EXPECT_EQ(DrivePrefix("c:"), "c:");
    EXPECT_EQ(DrivePrefix("\\\\SERVER\\SHARE\\DIR"), "\\\\SERVER\\SHARE");
    EXPECT_EQ(DrivePrefix("\\\\SERVER\\SHARE"), "\\\\SERVER\\SHARE");
    EXPECT_EQ(DrivePrefix("\\DIR"), "");
    EXPECT_EQ(FolderDepth("C:\\"), 1);
    EXPECT_EQ(FolderDepth("C:\\WINDOWS\\SYSTEM"), 3);
    EXPECT_EQ(FolderDepth("C:\\WINDOWS\\SYSTEM\\"), 3);
    EXPECT_EQ(FolderDepth("\\\\SERVER\\SHARE\\"), 1);
    EXPECT_EQ(FolderDepth("\\\\SERVER\\SHARE\\A"), 2);
}

TEST(FolderPaths, AncestorItemsOfDriveAndSharePaths) {
    auto items = AncestorItems("C:\\WINDOWS\\SYSTEM");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].Name, "C:\\");
    EXPECT_EQ(items[0].Kind, fkAncestor);
    EXPECT_EQ(items[1].Name, "WINDOWS");
    EXPECT_EQ(items[1].Kind, fkAncestor);
    EXPECT_EQ(items[2].Name, "SYSTEM");
    EXPECT_EQ(items[2].Kind, fkCurrent);

    items = AncestorItems("C:\\");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Name, "C:\\");
    EXPECT_EQ(items[0].Kind, fkCurrent);

    items = AncestorItems("\\\\SRV\\SH\\A\\B");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].Name, "\\\\SRV\\SH\\");
    EXPECT_EQ(items[0].Kind, fkAncestor);
    EXPECT_EQ(items[1].Name, "A");
    EXPECT_EQ(items[2].Name, "B");
    EXPECT_EQ(items[2].Kind, fkCurrent);

    items = AncestorItems("\\\\SRV\\SH\\");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Kind, fkCurrent);
}

TEST(FolderPaths, ItemFullPath) {
    const std::string f = "C:\\WINDOWS\\SYSTEM";
    auto items = AncestorItems(f);
    EXPECT_EQ(FolderItemFullPath(f, 0, items[0]), "C:\\");
    EXPECT_EQ(FolderItemFullPath(f, 1, items[1]), "C:\\WINDOWS");
    EXPECT_EQ(FolderItemFullPath(f, 2, items[2]), f);
    EXPECT_EQ(FolderItemFullPath(f, 3, {"COLOR", fkSubFolder}), "C:\\WINDOWS\\SYSTEM\\COLOR");
    EXPECT_EQ(FolderItemFullPath("C:\\", 1, {"TEMP", fkSubFolder}), "C:\\TEMP");
    // The share root and its ancestors.
    const std::string s = "\\\\SRV\\SH\\A\\B";
    items = AncestorItems(s);
    EXPECT_EQ(FolderItemFullPath(s, 0, items[0]), "\\\\SRV\\SH\\");
    EXPECT_EQ(FolderItemFullPath(s, 1, items[1]), "\\\\SRV\\SH\\A");
    // "乗" is 81 5C in code page 936: a trail byte of 0x5C
    // must not split a name. UTF-8 keeps such a name whole.
    const std::string c = "C:\\\xE4\xB9\x97\xE5\x90\x8D\\sub";
    items = AncestorItems(c);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].Name, "\xE4\xB9\x97\xE5\x90\x8D");
    EXPECT_EQ(FolderItemFullPath(c, 1, items[1]), "C:\\\xE4\xB9\x97\xE5\x90\x8D");
}

TEST(Background, ScaleColorAndBands) {
    EXPECT_EQ(ScaleColor(0x00FF0000, 255), 0x00FF0000u);
    EXPECT_EQ(ScaleColor(0x00FF0000, 251), 0x00FB0000u);
    EXPECT_EQ(ScaleColor(0x00808080, 128), 0x00404040u);  // 128*128/255 = 64.25
    EXPECT_EQ(ScaleColor(0x02FFFFFF, 0), 0x02000000u);    // the fourth byte stays
    EXPECT_EQ(BandColor(0x00FF0000, 0), 0x00FF0000u);
    EXPECT_EQ(BandColor(0x00FF0000, 1), 0x00FB0000u);   // 251/255 of full blue
    EXPECT_EQ(BandColor(0x00FF0000, 62), 0x00070000u);  // 7/255
    EXPECT_EQ(BandColor(0x00FF0000, 63), 0x00030000u);
    auto b0 = BandRows(768, 0);
    EXPECT_EQ(b0.Top, 0);
    EXPECT_EQ(b0.Bottom, 12);  // 12.19
    auto b62 = BandRows(768, 62);
    EXPECT_EQ(b62.Bottom, 768);
    auto b63 = BandRows(768, 63);
    EXPECT_EQ(b63.Top, 768);  // the last band lies below the client area
    for (int i = 0; i < 63; ++i) EXPECT_EQ(BandRows(768, i).Bottom, BandRows(768, i + 1).Top);
}

}  // namespace
}  // namespace qv
