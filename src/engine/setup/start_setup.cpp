#include "engine/setup/start_setup.h"

#include <memory>

#include "core/errors.h"
#include "core/io/buffered_in_stream.h"
#include "core/setupdata/setup_data.h"
#include "core/text/path_strings.h"
#include "core/uninstall/log_entry_bound.h"
#include "engine/common/own_machine.h"
#include "engine/common/format_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/process_command_line.h"
#include "engine/common/held_file.h"
#include "engine/common/windows_version.h"
#include "engine/common/win_text.h"
#include "engine/common/install_log.h"
#include "engine/common/phase_clock.h"
#include "engine/common/exit_codes.h"
#include "engine/setup/one_instance.h"
#include "engine/setup/own_payload.h"
#include "engine/setup/setup_folders.h"
#include "engine/setup/unattended_run.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/top_level_errors.h"
#include "engine/common/unique_name.h"
#include "engine/journal/journal_recovery.h"

namespace qv {

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

// A running program can be renamed and another put under its name, and the
// /SL file changed, while the wizard waits: held without write or delete
// sharing from the start, neither can be renamed, replaced or changed
// until the run ends, and everything later reads through these handles.
// Returns the file that another program holds open to change it, or "".
std::string HoldOwnFiles(const std::string& ownPath) {
    const auto hold = [](const std::string& path, std::shared_ptr<const THeldFile>& held) -> bool {
        try {
            held = THeldFile::Open(path);
        } catch (const EInOutError& error) {
            // Missing or unreadable, the file is refused where it is read.
            return error.code() != static_cast<int>(ERROR_SHARING_VIOLATION);
        }
        return true;
    };
    if (!hold(ownPath, SetupState.OwnFile)) return ownPath;
    if (SetupState.SlMode && !hold(SetupState.SlDataFileName, SetupState.SlFile)) return SetupState.SlDataFileName;
    return {};
}

}  // namespace

void ReadCommandLine(const std::vector<std::string>& params) {
    const auto param = [&](std::size_t i) { return i < params.size() ? params[i] : std::string(); };
    std::size_t firstOption = 1;
    // The /SL form needs its three values; "/sl" or "/SL" with fewer is an
    // unknown option like any other.
    if (params.size() >= 5 && params[1] == "/SL") {
        SetupState.SlMode = true;
        SetupState.SlDataFileName = params[2];
        SetupState.SetupSourceDir = ExtractFileDir(params[2]);
        SetupState.SlDataOffset = StrToInt(params[3]);
        SetupState.SlFileDataOffset = StrToInt(params[4]);
        firstOption = 5;
    } else {
        SetupState.SetupSourceDir = ExtractFileDir(param(0));
    }
    SetupState.SetupSourceDir = StripBackslashKeepRoot(SetupState.SetupSourceDir);
    for (std::size_t i = firstOption; i < params.size(); ++i) {
        const std::string& p = params[i];
        if (StartsWithIgnoringCase(p, "/DIR=")) SetupState.CmdLineDir = p.substr(5);
        else if (StartsWithIgnoringCase(p, "/GROUP=")) SetupState.CmdLineGroup = p.substr(7);
        else if (SameTextAscii(p, "/SILENT")) SetupState.Silent = true;
        else if (SameTextAscii(p, "/VERYSILENT")) SetupState.Silent = SetupState.VerySilent = true;
        else if (SameTextAscii(p, "/SUPPRESSMSGBOXES")) SetupState.SuppressMsgBoxes = true;
        else if (SameTextAscii(p, "/NOICONS")) SetupState.CmdLineNoIcons = true;
        else if (SameTextAscii(p, "/NORESTART")) SetupState.NoRestart = true;
        else if (SameTextAscii(p, "/LOG")) SetupState.LogRequested = true, SetupState.LogFileName.clear();
        else if (StartsWithIgnoringCase(p, "/LOG=")) SetupState.LogRequested = true, SetupState.LogFileName = p.substr(5);
        else if (SameTextAscii(p, "/?") || SameTextAscii(p, "/HELP")) SetupState.ShowHelp = true;
        else if (SameTextAscii(p, "/RECOVER")) SetupState.RecoverOnly = true;
    }
}

std::string FindSetupDataFile() {
    if (SetupState.SlMode) return SetupState.SlDataFileName;
    const std::string path = AppendBackslash(SetupState.SetupSourceDir) + "SETUP.0";
    if (!FileExists(path))
        FailStart("在安装文件夹中未找到 SETUP.0 文件。请查找该文件或重新取得新版安装程序。");
    return path;
}

void CheckWindowsVersion(const TSetupHeaderRec& header) {
    const WindowsVersion version = GetWindowsVersion();
    const bool nt = IsWinNT();
    const int minMajor = nt ? header.MinNTVersionMajor : header.MinWinVersionMajor;
    const int minMinor = nt ? header.MinNTVersionMinor : header.MinWinVersionMinor;
    if (minMajor == 0) FailStart(nt ? "程序不能在Windows NT上运行." : "程序必须在Windows NT上运行.");
    if (version.Major() < minMajor || (version.Major() == minMajor && version.Minor() < minMinor)) {
        const std::string required = FormatText("%d.%s", {minMajor, MinorVersionText(minMinor)});
        FailStart(FormatText(nt ? "这个程序需要 Windows NT %s 版或更高版本。" : "这个程序需要 Windows %s 版或更高版本。",
                             {required}));
    }
}

void CheckUninstallLogBound(const SetupData& data) {
    // The uninstall log counts its entries in 16 bits; finding out at the
    // end of the installation would mean undoing all of it.
    if (!data.SetupInfo.Has(optUninstallable)) return;
    const std::uint64_t most = MostUninstallLogEntries(data).Total();
    if (most > kUninstallLogEntryLimit)
        FailStart(FormatText("这个安装最多可能要在反安装信息中记录 %s 项更改，超过了反安装信息所能记录的 %s 项。"
                             "安装没有开始，系统没有作任何更改。请与软件供应商联系，取得新版安装程序。",
                             {std::to_string(most), std::to_string(kUninstallLogEntryLimit)}));
}

void CheckUninstallerMachineType(const SetupData& data) {
    // Setup data built for the other engine carries the other uninstaller:
    // installed by this engine, its files would land in the other view of
    // 64-bit Windows and its uninstall entry would start an uninstaller
    // that the setup data does not carry.
    const TMachineType other = kOwnMachineType == TMachineType::X64 ? TMachineType::X86 : TMachineType::X64;
    const std::string otherDest = std::string("{win}\\") + UninstallerFileName(other);
    for (const TFileRec& file : data.FileRecords)
        if (SameTextAscii(file.DestPath, otherDest))
            FailStart(FormatText("这个安装是为 %s的设置程序制作的，不能由这个 %s的设置程序安装。"
                                 "安装没有开始，系统没有作任何更改。请与软件供应商联系，取得正确的安装程序。",
                                 {MachineTypeWords(other), MachineTypeWords(kOwnMachineType)}));
}

void LoadSetupDataFile(const std::string& path) {
    const TPhaseScope phase(TPhase::SetupData);
    // The /SL file (or the program itself) through the handle held since
    // the start; SETUP.0 opened once, closed to writers until everything
    // is read.
    const std::shared_ptr<const THeldFile> held =
        SetupState.SlMode && SetupState.SlFile ? SetupState.SlFile : THeldFile::Open(path);
    const std::unique_ptr<InStream> reader = held->NewReader();
    InStream& file = *reader;
    // The offset is signed: a negative one fails in the seek as an I/O error.
    file.Seek(static_cast<std::uint64_t>(static_cast<std::int64_t>(SetupState.SlDataOffset)));
    // Two small reads per record: through a buffer, so that 100,000 files
    // do not cost 400,000 system calls.
    BufferedInStream setup(file);
    try {
        ReadSetupSignature(setup);
    } catch (const ESetupSignatureError&) {
        FailStart("设置程序文件已被损坏，或与设置程序版本不相容。请修正该错误或重新取得新版安装程序。");
    }
    // The header, the texts and the records go straight into the state.
    SetupData& data = SetupState;
    try {
        data.SetupInfo = ReadSetupHeader(setup);
        CheckWindowsVersion(data.SetupInfo);
        ReadSetupEntries(setup, data);
    } catch (const EZlibDataError&) {
        FailStart("设置程序文件已被损坏，请重新取得新版安装程序。");
    }
    CheckUninstallLogBound(data);
    CheckUninstallerMachineType(data);
    SetupState.RestartNeeded = SetupState.SetupInfo.Has(optRestartAfter);
    SetupState.HasIconsToCreate =
        !SetupState.IconRecords.empty() ||
        (SetupState.SetupInfo.Has(optUninstallable) &&
         (SetupState.SetupInfo.Has(optUninstallIconAlways) || GetWindowsVersion().Major() < 4));
}

void StartSetup(const std::vector<std::string>& params) {
    const std::uint32_t platform = GetWindowsVersion().PlatformId;
    if (platform != kPlatformWin32NT && platform != kPlatformWin32Windows) FailStart("程序不能在Win32 上运行.");
    SetupState.UserIsAdmin = HasAdminRights();
    SeedUniqueNames();
    ReadCommandLine(params);
    const std::string notHeld = params.empty() ? std::string() : HoldOwnFiles(params[0]);
    const bool slOnCommandLine = SetupState.SlMode;
    // A single-file program refuses a damaged download before it shows or
    // writes anything, the log included.
    if (!SetupState.SlMode && SetupState.OwnFile) TakeOwnPayload(SetupState.OwnFile);
    // Before anything can fail, so that the log says why.
    StartUnattendedRun(params);
    if (!notHeld.empty())
        FailStart(FormatText("另一个程序正在改动安装程序的文件 \"%s\"，请在它完成后再运行安装程序", {notHeld}));
    // Another installation's data would be installed under the signature of
    // the program's publisher.
    if (slOnCommandLine && SetupState.OwnFile && CarriesPayload(*SetupState.OwnFile))
        FailStart("这个安装程序自带安装内容，不能用 /SL 参数安装其他的安装内容");
    if (SetupState.ShowHelp) {
        ShowCommandLineHelp();
        SetupState.EarlyExitCode = exit_code::Success;
        return;
    }
    // An installation that died halfway is rolled back before this run
    // changes anything, and before its wizard shows.
    const bool recovered = RecoverDeadInstallations(SetupState.UserIsAdmin);
    if (SetupState.RecoverOnly) {
        SetupState.EarlyExitCode = recovered ? exit_code::Success : exit_code::FatalError;
        return;
    }
    const std::string dataFile = FindSetupDataFile();
    LogLine("Setup data: " + dataFile);
    if (!OwnPayloadCheckText().empty()) LogLine("The program holds " + OwnPayloadCheckText());
    LoadSetupDataFile(dataFile);
    LogLine("Application: " + SetupState.SetupInfo.AppNameVersion);
    if (!ClaimTheOnlySetupOf(SetupState.SetupInfo.AppName)) {
        SetupState.EarlyExitCode = exit_code::AnotherSetupRunning;
        return;
    }
    SetupState.TotalFileSize = SumOfOriginalSizes(SetupState.FileRecords);
    FixFolders();
    CreatePrivateTempFolder();
}

void StartSetup() { StartSetup(GetParams()); }

}  // namespace qv
