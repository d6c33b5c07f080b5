#include "core/ui/wizard_pages.h"

namespace qv {

const char kBackCaption[] = "< 上一步(&B)";
const char kClickHint[] = "按<下一步>继续, 或按<取消>退出设置程序。";

bool PageIsEmpty(TWizardPageId page, const WizardPageFacts& facts) {
    switch (page) {
        case pgLicense: return !facts.HasLicense;
        case pgInfoBefore: return !facts.HasInfoBefore;
        case pgSelectFolder: return facts.NoFolderPage || !facts.OwnAppFolder;
        case pgSelectGroup: return facts.NoGroupPage || !facts.HasIconsToCreate;
        default: return false;
    }
}

TWizardPageId NextShownPage(TWizardPageId page, const WizardPageFacts& facts) {
    auto next = static_cast<int>(page);
    do ++next;
    while (next < pgFinished && PageIsEmpty(static_cast<TWizardPageId>(next), facts));
    return static_cast<TWizardPageId>(next > pgFinished ? pgFinished : next);
}

TWizardPageId PreviousShownPage(TWizardPageId page, const WizardPageFacts& facts) {
    auto previous = static_cast<int>(page);
    do --previous;
    while (previous > pgWelcome && PageIsEmpty(static_cast<TWizardPageId>(previous), facts));
    return static_cast<TWizardPageId>(previous < pgWelcome ? pgWelcome : previous);
}

WizardPageLayout PageLayout(TWizardPageId page) {
    switch (page) {
        case pgWelcome: return {"欢迎", 0, 0};
        case pgLicense: return {"许可协议", 1, kInnerPageUnchanged};
        case pgInfoBefore: return {"信息", 2, kInnerPageUnchanged};
        case pgSelectFolder: return {"选择目标文件夹", 0, 1};
        case pgSelectGroup: return {"选择程序组文件夹", 0, 2};
        case pgReady: return {"准备安装", 0, 3};
        case pgInfoAfter: return {"信息", 3, kInnerPageUnchanged};
        case pgFinished: return {"设置完成", 0, 4};
    }
    return {"", 0, kInnerPageUnchanged};
}

WizardPageButtons PageButtons(TWizardPageId page, bool hasInfoAfter) {
    WizardPageButtons b;
    b.BackVisible = (page >= pgLicense && page <= pgReady) || (page == pgFinished && hasInfoAfter);
    b.CancelVisible = page <= pgReady;
    b.CancelCaption = page == pgLicense ? "否(&N)" : "取消";
    switch (page) {
        case pgLicense: b.NextCaption = "是(&Y)"; break;
        case pgReady: b.NextCaption = "安装(&I)"; break;
        case pgFinished: b.NextCaption = "完成(&F)"; break;
        default: b.NextCaption = "下一步(&N) >"; break;
    }
    b.ClickHint = page != pgWelcome && page != pgReady && page != pgFinished;
    return b;
}

}  // namespace qv
