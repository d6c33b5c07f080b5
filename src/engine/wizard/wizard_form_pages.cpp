// The wizard's first showing and the controls of its folder and group
// pages: what they propose, how they keep each other consistent, and the
// checks when the user presses Next.
#include <exception>

#include "core/scope_exit.h"
#include "core/text/path_strings.h"
#include "engine/common/win_text.h"
#include "engine/wizard/group_list.h"
#include "engine/wizard/uninstall_log_texts.h"
#include "engine/wizard/validate_folder.h"
#include "engine/wizard/validate_group.h"
#include "engine/wizard/wizard_form.h"

namespace qv {

namespace {

bool SameTextLocale(const std::string& a, const std::string& b) {
    const std::wstring wa = Widen(a), wb = Widen(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                          static_cast<int>(wb.size())) == CSTR_EQUAL;
}

}  // namespace

std::string ProposedAppFolder(const TWizardRun& run) {
    const TSetupHeaderRec& info = run.Data.SetupInfo;
    if (!info.Has(optOwnAppFolder)) return run.WinFolder;
    if (!run.CmdLineDir.empty() && !info.Has(optNoFolderPage)) return run.CmdLineDir;
    if (info.Has(optFolderInProgFiles)) return AppendBackslash(run.ProgFilesFolder) + info.DefaultFolderName;
    return run.SystemDrive + "\\" + info.DefaultFolderName;
}

std::string ProposedGroup(const TWizardRun& run) {
    const TSetupHeaderRec& info = run.Data.SetupInfo;
    return !run.CmdLineGroup.empty() && !info.Has(optNoGroupPage) ? run.CmdLineGroup : info.DefaultGroup;
}

void TWizardForm::PointDirList(const std::string& folder) {
    // A folder or drive that is missing leaves the list where it was; the
    // edit box still gets the text of the step that asked.
    try {
        DirList.ChangeFolder(folder);
    } catch (const std::exception&) {
    }
}

void TWizardForm::FirstShow() {
    if (Shown) return;
    Shown = true;
    const TSetupHeaderRec& info = run_.Data.SetupInfo;
    if (info.Has(optOwnAppFolder)) {
        DirEdit.SetText(run_.SystemDrive + "\\" + info.DefaultFolderName);
        PointDirList("\\");
        PointDirList(run_.SystemDrive + "\\");
        if (info.Has(optFolderInProgFiles)) {
            try {
                DirList.ChangeFolder(run_.ProgFilesFolder);
            } catch (const std::exception&) {
                DirEdit.SetText(AppendBackslash(run_.ProgFilesFolder) + info.DefaultFolderName);
            }
        }
        if (!run_.CmdLineDir.empty() && !info.Has(optNoFolderPage)) {
            const std::string& dir = run_.CmdLineDir;
            // The folder above it keeps the backslash of a drive root: "C:"
            // alone would be the drive's current folder, not its root.
            const std::size_t lastBackslash = dir.rfind('\\');
            if (lastBackslash != std::string::npos)
                PointDirList(StripBackslashKeepRoot(dir.substr(0, lastBackslash + 1)));
            PointDirList(dir);
            DirEdit.SetText(dir);
        }
    } else {
        // The folder page is skipped: the application goes into the Windows folder.
        DirEdit.SetText(run_.WinFolder);
    }
    GroupEdit.SetText(ProposedGroup(run_));
    NoIconsCheck.SetVisible(info.Has(optAllowNoIcons));
    if (run_.CmdLineNoIcons) {
        NoIconsCheck.SetChecked(true);
        NoIconsCheckClick();
    }
    CurrentPage = pgWelcome;
    UpdatePage();
    FillGroupList();
}

void TWizardForm::DirListChange() {
    DirEdit.SetText(AppendBackslash(DirList.FolderPath()) + run_.Data.SetupInfo.DefaultFolderName);
}

bool TWizardForm::ValidateFolder() {
    // The user sees the text that is checked while a message is shown.
    DirEdit.SetText(Trim(DirEdit.Text()));
    const PageCheck check = qv::ValidateFolder(DirEdit.Text(), run_.TotalFileSize);
    DirEdit.SetText(check.Text);
    return check.Passed;
}

bool TWizardForm::ValidateGroup() {
    const bool noIcons = NoIconsCheck.Checked();
    // Without icons the group is not looked at, and stays as typed.
    if (!noIcons) GroupEdit.SetText(CleanGroupName(GroupEdit.Text()));
    return qv::ValidateGroup(GroupEdit.Text(), noIcons).Passed;
}

bool TWizardForm::CheckUninstallLog() const {
    // The folders behind the constants with the choices of the pages, as
    // the installation will take them.
    const TWizardChoices choices = Choices();
    DirConstantValues folders = run_.Folders;
    folders.App = choices.AppDir;
    folders.Group = choices.Group;
    return CheckUninstallLogTexts(run_.Data, folders, choices.NoIcons);
}

void TWizardForm::FillGroupList() {
    for (const std::string& group : qv::FillGroupList(run_.CommonProgramsFolder)) GroupList.AddItem(group);
    // A group proposed before the list was there is found in it now.
    GroupEditChange();
}

void TWizardForm::GroupEditChange() {
    const std::string text = GroupEdit.Text();
    int match = -1;
    for (int i = 0, n = GroupList.Count(); i < n && match < 0; ++i)
        if (SameTextLocale(GroupList.Item(i), text)) match = i;
    if (match == GroupList.ItemIndex()) return;
    // Selecting must not write the item back into the edit box.
    TNotifyEvent click = std::move(GroupList.OnClick);
    GroupList.OnClick = nullptr;
    const ScopeExit restore([&] { GroupList.OnClick = std::move(click); });
    GroupList.SetItemIndex(match);
}

void TWizardForm::GroupListClick() {
    const int index = GroupList.ItemIndex();
    if (index < 0) return;
    TNotifyEvent change = std::move(GroupEdit.OnChange);
    GroupEdit.OnChange = nullptr;
    const ScopeExit restore([&] { GroupEdit.OnChange = std::move(change); });
    GroupEdit.SetText(GroupList.Item(index));
}

void TWizardForm::NoIconsCheckClick() {
    const bool enabled = !NoIconsCheck.Checked();
    const COLORREF color = GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    GroupEdit.SetEnabled(enabled);
    GroupEdit.SetColor(color);
    GroupList.SetEnabled(enabled);
    GroupList.SetColor(color);
    if (!enabled) GroupList.SetItemIndex(-1);
}

}  // namespace qv
