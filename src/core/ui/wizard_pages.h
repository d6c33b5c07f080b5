// The pages of the wizard and the way between them: which pages have
// nothing to show and are passed over, where each page lives in the two
// notebooks, and what its buttons say. Pure rules, shared by the wizard
// window and its tests.
#pragma once

#include <cstdint>

namespace qv {

enum TWizardPageId : std::uint8_t {
    pgWelcome,
    pgLicense,
    pgInfoBefore,
    pgSelectFolder,
    pgSelectGroup,
    pgReady,
    pgInfoAfter,
    pgFinished,
};

// What the setup holds that decides which pages are shown.
struct WizardPageFacts {
    bool HasLicense = false;
    bool HasInfoBefore = false;
    bool HasInfoAfter = false;
    bool NoFolderPage = false;   // optNoFolderPage
    bool OwnAppFolder = false;   // optOwnAppFolder: without it the application goes into the Windows folder
    bool NoGroupPage = false;    // optNoGroupPage
    bool HasIconsToCreate = false;
};

// A page with nothing to show. The welcome, ready and finished pages are
// always shown, and the information-after page is never reached by
// walking: the run chooses it after installing.
bool PageIsEmpty(TWizardPageId page, const WizardPageFacts& facts);

// The page that Next leads to from `page` (not pgReady or pgFinished,
// where Next ends the wizard), and the one that Back leads to (not from
// pgWelcome). The welcome page is never empty, so Back always ends.
TWizardPageId NextShownPage(TWizardPageId page, const WizardPageFacts& facts);
TWizardPageId PreviousShownPage(TWizardPageId page, const WizardPageFacts& facts);

constexpr int kInnerPageUnchanged = -1;

struct WizardPageLayout {
    const char* Caption;  // the window's caption on this page
    int OuterPage;        // of the outer notebook
    int InnerPage;        // of the inner notebook on outer page 0, or kInnerPageUnchanged
};
WizardPageLayout PageLayout(TWizardPageId page);

struct WizardPageButtons {
    bool BackVisible = false;
    bool CancelVisible = false;
    const char* NextCaption = "";
    const char* CancelCaption = "";
    // The hint under the inner notebook ("按<下一步>继续...") is shown.
    bool ClickHint = false;
};
WizardPageButtons PageButtons(TWizardPageId page, bool hasInfoAfter);

extern const char kBackCaption[];
extern const char kClickHint[];

}  // namespace qv
