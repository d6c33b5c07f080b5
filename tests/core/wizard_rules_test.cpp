// The wizard's rules without a window: the required-space text, the
// placeholders, and which pages are passed over in either direction.
#include <gtest/gtest.h>

#include "core/ui/wizard_pages.h"
#include "core/ui/wizard_text.h"

namespace qv {
namespace {

TEST(WizardText, RequiredSpaceIsRoundedUpToATenth) {
    EXPECT_EQ(RequiredSpaceText(0), "0.0");
    EXPECT_EQ(RequiredSpaceText(1), "0.1");
    EXPECT_EQ(RequiredSpaceText(1048575), "1.0");  // tenths reach 10 and carry
    EXPECT_EQ(RequiredSpaceText(1048576), "1.0");
    EXPECT_EQ(RequiredSpaceText(1048577), "1.1");
    EXPECT_EQ(RequiredSpaceText(1048576 + 524288), "1.5");
    EXPECT_EQ(RequiredSpaceText(1048576ull * 5000 + 1), "5000.1");  // past 4 GiB, no wrap
}

TEST(WizardText, PlaceholdersAreReplacedOnceInOrder) {
    const WizardTextValues v{"示例 [name]", "示例 1.0", "2.5"};
    EXPECT_EQ(ExpandWizardText("[name]/[name/ver]/[mb] MB/[NAME]", v), "示例 [name]/示例 1.0/2.5 MB/[NAME]");
    // The name is inserted before "[name/ver]" is looked for, so a name
    // holding it gets the version text too: the placeholders go in order.
    EXPECT_EQ(ExpandWizardText("[name]", {"[name/ver]", "V", ""}), "V");
}

TEST(WizardText, ReadyAndFinishedTexts) {
    EXPECT_EQ(ReadyTextTemplate(true, true), "设置程序已准备好开始安装 [name]。\r\n\r\n按<安装>继续设置程序。");
    EXPECT_EQ(ReadyTextTemplate(false, true),
              "设置程序已准备好开始安装 [name]。\r\n\r\n单击<安装>开始安装，或按<上一步>重新设置。");
    EXPECT_EQ(ReadyTextTemplate(true, false), ReadyTextTemplate(false, true));
    EXPECT_EQ(FinishedTextTemplate(false), "设置程序已经完成 [name] 的安装。\r\n\r\n按<完成>退出设置程序。");
    EXPECT_EQ(FinishedTextTemplate(true),
              "设置程序已经完成 [name] 的安装。现在您可以通过选择已安装的图标来启动这个应用程序。\r\n\r\n"
              "按<完成>退出设置程序。");
}

TEST(WizardPages, NothingToShowGoesFromWelcomeStraightToReadyAndBack) {
    WizardPageFacts bare;  // no texts, no own folder, no icons
    EXPECT_EQ(NextShownPage(pgWelcome, bare), pgReady);
    EXPECT_EQ(PreviousShownPage(pgReady, bare), pgWelcome);
    bare.OwnAppFolder = true;
    bare.NoFolderPage = true;
    EXPECT_EQ(NextShownPage(pgWelcome, bare), pgReady);
}

TEST(WizardPages, EveryPageInTurnWhenEverythingIsThere) {
    WizardPageFacts all{true, true, true, false, true, false, true};
    TWizardPageId page = pgWelcome;
    for (TWizardPageId expected : {pgLicense, pgInfoBefore, pgSelectFolder, pgSelectGroup, pgReady}) {
        page = NextShownPage(page, all);
        EXPECT_EQ(page, expected);
    }
    for (TWizardPageId expected : {pgSelectGroup, pgSelectFolder, pgInfoBefore, pgLicense, pgWelcome}) {
        page = PreviousShownPage(page, all);
        EXPECT_EQ(page, expected);
    }
    EXPECT_EQ(NextShownPage(pgInfoAfter, all), pgFinished);
    EXPECT_EQ(PreviousShownPage(pgFinished, all), pgInfoAfter);
}

TEST(WizardPages, EachSkipRuleOnItsOwn) {
    WizardPageFacts f{true, true, false, false, true, false, true};
    f.HasLicense = false;
    EXPECT_EQ(NextShownPage(pgWelcome, f), pgInfoBefore);
    f.HasInfoBefore = false;
    EXPECT_EQ(NextShownPage(pgWelcome, f), pgSelectFolder);
    f.NoFolderPage = true;
    EXPECT_EQ(NextShownPage(pgWelcome, f), pgSelectGroup);
    f.NoGroupPage = true;
    EXPECT_EQ(NextShownPage(pgWelcome, f), pgReady);
    f.NoGroupPage = false;
    f.HasIconsToCreate = false;
    EXPECT_EQ(NextShownPage(pgWelcome, f), pgReady);
    // The information-after page is never passed by walking backwards into it
    // from the ready page's neighbours, and never skipped itself.
    EXPECT_FALSE(PageIsEmpty(pgInfoAfter, WizardPageFacts{}));
}

TEST(WizardPages, ButtonsAndCaptions) {
    const WizardPageButtons welcome = PageButtons(pgWelcome, false);
    EXPECT_FALSE(welcome.BackVisible);
    EXPECT_TRUE(welcome.CancelVisible);
    EXPECT_FALSE(welcome.ClickHint);
    const WizardPageButtons license = PageButtons(pgLicense, false);
    EXPECT_STREQ(license.NextCaption, "是(&Y)");
    EXPECT_STREQ(license.CancelCaption, "否(&N)");
    EXPECT_TRUE(license.BackVisible && license.ClickHint);
    EXPECT_STREQ(PageButtons(pgSelectFolder, false).NextCaption, "下一步(&N) >");
    EXPECT_STREQ(PageButtons(pgReady, false).NextCaption, "安装(&I)");
    EXPECT_STREQ(PageButtons(pgReady, false).CancelCaption, "取消");
    const WizardPageButtons infoAfter = PageButtons(pgInfoAfter, true);
    EXPECT_FALSE(infoAfter.BackVisible || infoAfter.CancelVisible);
    EXPECT_TRUE(PageButtons(pgFinished, true).BackVisible);
    EXPECT_FALSE(PageButtons(pgFinished, false).BackVisible);
    EXPECT_STREQ(PageButtons(pgFinished, false).NextCaption, "完成(&F)");
    EXPECT_FALSE(PageButtons(pgFinished, true).CancelVisible);
    EXPECT_EQ(PageLayout(pgSelectGroup).InnerPage, 2);
    EXPECT_EQ(PageLayout(pgLicense).InnerPage, kInnerPageUnchanged);
    EXPECT_STREQ(PageLayout(pgFinished).Caption, "设置完成");
}

}  // namespace
}  // namespace qv
