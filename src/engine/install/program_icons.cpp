#include "engine/install/program_icons.h"

#include <windows.h>
#include <shlobj.h>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/own_machine.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/controls/app_errors.h"
#include "engine/dde/dde_client.h"
#include "engine/dde/dde_owners.h"
#include "engine/install/create_folder_path.h"
#include "engine/install/icon_item_command.h"
#include "engine/install/icon_title.h"
#include "engine/install/rollback_keeping.h"
#include "engine/install/uninstall_log_file.h"
#include "engine/instfunc/link_file.h"

namespace qv {

namespace {

constexpr std::int64_t kGaugeUnitsPerIcon = 1000;
constexpr char kGroupPrefix[] = "{group}\\";

// What one icon starts; the paths already expanded.
struct TIconTarget {
    std::string Filename, Parameters, WorkingFolder, IconFile;
    int IconIndex = 0;
};

// What an icon starts, for the log: `"C:\App\a.exe" /x, in "C:\App"`.
std::string TargetText(const TIconTarget& target) {
    std::string text = Quoted(target.Filename);
    if (!target.Parameters.empty()) text += " " + target.Parameters;
    if (!target.WorkingFolder.empty()) text += ", in " + Quoted(target.WorkingFolder);
    return text;
}

std::string UninstallIconTitle(const TSetupHeaderRec& header) {
    if (!header.UninstallIconTitle.empty()) return header.UninstallIconTitle;
    return FormatText("反安装\"%s\"", {header.AppName});
}

// Where the title begins in an icon's expanded name: behind the last
// backslash. A colon behind it belongs to the title, where FileNameTitle
// makes it full-width like the other characters a file name cannot hold,
// rather than naming a stream of a file or a drive-like folder; only a
// drive's colon ends a name that has no folder ("C:title").
std::size_t LinkTitleStart(const std::string& name) {
    const std::size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) return slash + 1;
    return ExtractFileDrive(name).size();
}

// The icons of one step, by the mechanism of the run. On the old shell one
// conversation with the Program Manager serves the group and every item.
class TIconMaker {
public:
    // Initialises the DDE client on every shell; raises EDdeError when the
    // library refuses.
    explicit TIconMaker(TInstallContext& context)
        : context_(context), oldShell_(GetWindowsVersion().Major() < 4) {
        dde_.Create();
    }

    // Old shell: connects and makes the group, shown and recorded. The new
    // shell's group folder is made with its first link.
    void OpenGroup() {
        if (!oldShell_) return;
        const std::string& group = context_.Run.Folders.Group;
        progman_ = MakeStringHandle(dde_, "PROGMAN");
        conversation_ = DdeConversationOwner(dde_.Connect(progman_.get(), progman_.get()));
        groupCommand_ = CreateGroupCommand(group);
        WriteAhead(context_, journal::ProgManItemAdded{group, ""});
        dde_.Execute(conversation_.get(), groupCommand_, false);
        dde_.Execute(conversation_.get(), ShowGroupCommand(group), false);
        LogLine("made Program Manager group " + Quoted(group));
        context_.UndoLog.AddEntry(ekProgManItem, {group, ""}, 0);
    }

    // An icon of the setup data; `iconPath` as stored ("{group}\<title>").
    void MakeOneIcon(const std::string& iconPath, const TIconTarget& target) {
        if (oldShell_) {
            std::string item = iconPath;
            if (item.compare(0, sizeof kGroupPrefix - 1, kGroupPrefix) == 0) item.erase(0, sizeof kGroupPrefix - 1);
            MakeItem(QuotedFieldTitle(item), target);
        } else {
            const std::string name = context_.Run.Expand(iconPath);
            const std::size_t titleStart = LinkTitleStart(name);
            const std::string title = name.substr(titleStart);
            MakeLink(name.substr(0, titleStart) + FileNameTitle(title), title, target);
        }
    }

    // The uninstall icon in the group: the title whole, so that it can hold
    // no constant, and fit where it names a file or an item.
    void MakeTitledIcon(const std::string& title, const TIconTarget& target) {
        if (oldShell_)
            MakeItem(QuotedFieldTitle(title), target);
        else
            MakeLink(AppendBackslash(context_.Run.Expand("{group}")) + FileNameTitle(title), title, target);
    }

private:
    // `name` is the link's path without ".lnk"; `description` the title.
    void MakeLink(const std::string& name, const std::string& description, const TIconTarget& target) {
        const std::string link = name + ".lnk";
        const std::string folder = ExtractFileDir(link);
        CreateFolderPath(context_, folder, cfNotifyShell);
        // A link of that name from before is put back by a rollback; one in
        // use is simply overwritten.
        DWORD inUse = 0;
        if (FileExists(link)) ClearForReplacement(context_, link, inUse);
        WriteAhead(context_, journal::FileWasAbsent{link, journal::jfNotifyShell});
        CreateLinkFile(link, description, target.Filename, target.Parameters, target.WorkingFolder, target.IconFile,
                       target.IconIndex);
        SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, Widen(link).c_str(), nullptr);
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH, Widen(StripBackslashKeepRoot(folder)).c_str(),
                       nullptr);
        LogLine("made shell link " + Quoted(link) + " -> " + TargetText(target));
        context_.UndoLog.AddEntry(ekFile, {link, ""}, efNotifyShell);
        context_.Progress.Advance(kGaugeUnitsPerIcon);
    }

    void MakeItem(const std::string& item, const TIconTarget& target) {
        // Built first: a command too long is refused before the Program
        // Manager has taken away an item of the same name.
        const std::string command = AddItemCommand(groupCommand_, target.Filename, target.Parameters, item,
                                                   target.IconFile, target.IconIndex, target.WorkingFolder);
        // Takes away an item of that name, keeping its place for the new
        // one; when there is none, the rejection means nothing.
        WriteAhead(context_, journal::ProgManItemAdded{context_.Run.Folders.Group, item});
        dde_.Execute(conversation_.get(), ReplaceItemCommand(item), true);
        dde_.Execute(conversation_.get(), command, false);
        LogLine("made Program Manager item " + Quoted(item) + " in group " + Quoted(context_.Run.Folders.Group) +
                " -> " + TargetText(target));
        context_.UndoLog.AddEntry(ekProgManItem, {context_.Run.Folders.Group, item}, 0);
        context_.Progress.Advance(kGaugeUnitsPerIcon);
    }

    TInstallContext& context_;
    const bool oldShell_;
    // Declared first, destroyed last: the conversation and the string
    // handle go before the instance.
    TDDE dde_;
    DdeStringOwner progman_;
    DdeConversationOwner conversation_;
    // The head of every item command.
    std::string groupCommand_;
};

// Runs `work`; any failure but the silent abort is shown and swallowed,
// and the log tells that `what` was not made. True when it went through.
template <typename Work>
bool Reported(const std::string& what, Work work) {
    try {
        work();
        return true;
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        HandleCurrentException();
        LogLine("not made after the error: " + what);
        return false;
    }
}

}  // namespace

bool UninstallIconWanted(const TInstallContext& context) {
    const TSetupHeaderRec& header = context.Run.Data.SetupInfo;
    return header.Has(optUninstallable) && (header.Has(optUninstallIconAlways) || !context.UninstallKeyCreated);
}

bool ProgramIconsStepNeeded(const TInstallContext& context) {
    if (context.Run.ChosenNoIcons) return false;
    return context.Run.HasIconsToCreate || UninstallIconWanted(context);
}

void MakeProgramIcons(TInstallContext& context) {
    TIconMaker maker(context);
    if (!Reported("the group and every icon", [&] { maker.OpenGroup(); })) return;

    const TInstallRun& run = context.Run;
    // Updated as the loop goes: the icon that failed and those after it.
    std::string notMade;
    Reported(notMade, [&] {
        const std::vector<TIconRec>& icons = run.Data.IconRecords;
        for (std::size_t i = 0; i < icons.size(); ++i) {
            const TIconRec& icon = icons[i];
            notMade = "icon " + Quoted(icon.IconPath) + " and the " + std::to_string(icons.size() - i - 1) +
                      " after it";
            maker.MakeOneIcon(icon.IconPath, {run.Expand(icon.Filename), run.Expand(icon.Parameters),
                                              run.Expand(icon.WorkingFolder), run.Expand(icon.IconFile),
                                              icon.IconIndex});
        }
    });

    if (UninstallIconWanted(context)) {
        Reported("the uninstall icon", [&] {
            const std::string& pattern = context.UninstallLogPattern;
            const std::string parameters = FormatText(
                "/U \"%s\" \"%s\"", {UninstallLogName(pattern, '0'), UninstallLogName(pattern, '1')});
            maker.MakeTitledIcon(UninstallIconTitle(run.Data.SetupInfo),
                                 {AppendBackslash(run.Folders.Win) + OwnUninstallerFileName(), parameters, run.Folders.Win, "", 0});
        });
    } else if (run.Data.SetupInfo.Has(optUninstallable)) {
        LogLine("no uninstall icon: the uninstall key lists the program among the installed ones");
    }
}

}  // namespace qv
