// TWizardForm: the wizard in which the user walks through the installation.
// One window whose pages live in two notebooks: the outer one holds the
// page with the picture (welcome, folder, group, ready and finished pages,
// in the inner notebook) and the licence and information pages. Back, Next
// and Cancel move between the pages, passing over those with nothing to
// show. The wizard installs nothing: Install on the ready page and Finish
// on the finished page hide it and post the step message to the
// background window, which reads the choices and carries on. The controls
// are the form's own: the run sees the pages only through TWizardChoices
// and the operations that prepare the last pages.
#pragma once

#include <string>

#include "core/ui/wizard_pages.h"
#include "core/ui/wizard_text.h"
#include "engine/controls/bevel.h"
#include "engine/controls/child_form.h"
#include "engine/controls/dir_list.h"
#include "engine/controls/drive_combo.h"
#include "engine/controls/gdi.h"
#include "engine/controls/panels.h"
#include "engine/controls/std_controls.h"
#include "engine/wizard/wizard_run.h"

namespace qv {

// What the pages hold: read on Install (the folder, the group and the box
// for no icons) and on Finish (the answers of the finished page).
struct TWizardChoices {
    std::string AppDir;
    std::string Group;
    bool NoIcons = false;
    // "是, 马上重新启动系统", meaningful once the restart was offered.
    bool RestartNow = false;
    // "是，我想看一下Readme说明文件。", meaningful once the readme was offered.
    bool ShowReadme = false;
};

class TWizardForm : public TSetupChildForm {
public:
    // FormCreate: the window (hidden until shown) with every control and
    // fixed text, centred on the background window.
    explicit TWizardForm(TWizardRun& run);

    TWizardPageId CurrentPage = pgWelcome;
    bool InClose = false;
    bool Shown = false;

    std::string ExpandWizardText(const std::string& text) const;
    bool PageIsEmpty(TWizardPageId page) const;
    // Shows CurrentPage: notebooks, buttons, captions, the focus.
    void UpdatePage();
    WizardPageFacts PageFacts() const;

    TWizardChoices Choices() const;

    // The last pages, after installing. Windows must restart: the finished
    // page asks, with `finishedTextTemplate` expanded and the Yes/No buttons.
    void OfferRestart(const std::string& finishedTextTemplate);
    // A readme file was installed: the finished page offers to show it.
    void OfferReadme();
    // The information after installing when there is any, else the finished page.
    void ShowFinishingPages(bool infoAfterPage);

    void NextButtonClick();
    void BackButtonClick();
    void CancelButtonClick();

    // Part of the destination folder and group pages.
    bool ValidateFolder();
    bool ValidateGroup();
    // On Install: whatever the installation will record in its uninstall
    // log can be recorded there (see CheckUninstallLogTexts).
    bool CheckUninstallLog() const;
    void FillGroupList();
    void DirListChange();
    void GroupEditChange();
    void GroupListClick();
    void NoIconsCheckClick();

protected:
    void FirstShow() override;    // FormShow
    bool CloseQuery() override;   // FormCloseQuery

    // The controls, named as the pages name them.
    TNotebook Notebook1;
    TPaintBox PicturePaintBox;
    TLabel ClickLabel;
    TBevel Bevel;
    TNotebook Notebook2;
    TPaintBox WelcomeBox;
    TLabel SelectFolderLabel;
    TEdit DirEdit;
    TNewDirectoryListBox DirList;
    TNewDriveComboBox DriveList;
    TLabel DiskSpaceLabel;
    TLabel IconsLabel;
    TEdit GroupEdit;
    TListBox GroupList;
    TCheckBox NoIconsCheck;
    TLabel ReadyLabel;
    TLabel FinishedLabel;
    TCheckBox ShowReadmeCheck;
    TRadioButton YesRadio;
    TRadioButton NoRadio;
    TPaintBox LicenseIcon;
    TLabel LicenseLabel1;
    TMemo LicenseMemo;
    TLabel LicenseLabel2;
    TPaintBox ReadmeBeforeIcon;
    TLabel InfoBeforeLabel;
    TMemo InfoBeforeMemo;
    TLabel InfoBeforeClickLabel;
    TPaintBox ReadmeAfterIcon;
    TLabel InfoAfterLabel;
    TMemo InfoAfterMemo;
    TLabel InfoAfterClickLabel;
    TButton BackButton;
    TButton NextButton;
    TButton CancelButton;

private:
    void CreateControls();
    void SetFixedTexts();
    void PaintPicture(HDC dc, const RECT& client);
    void PaintIcon(HDC dc);
    void PointDirList(const std::string& folder);

    TWizardRun& run_;
    WizardTextValues textValues_;
    Bitmap wizardBitmap_;
    std::string welcomeText_;
};

}  // namespace qv
