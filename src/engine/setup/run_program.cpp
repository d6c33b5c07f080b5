#include "engine/setup/run_program.h"

#include <windows.h>

#include "core/text/path_strings.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/folders.h"
#include "engine/common/install_log.h"
#include "engine/common/path_tests.h"
#include "engine/common/system_error_text.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/controls/app_errors.h"
#include "engine/controls/message_loop.h"
#include "engine/setup/setup_dir_constants.h"

namespace qv {

std::string RunProgramCommandLine(const std::string& filename, const std::string& parameters) {
    return QuoteIfSpaces(filename) + " " + parameters;
}

std::string ProgramByFullPath(const std::string& filename) {
    if (IsFullPath(filename)) return filename;
    const bool hasExtension = ExtractFileName(filename).find('.') != std::string::npos;
    for (const std::string& folder : {SystemFolder(), WindowsFolder()}) {
        const std::string path = AppendBackslash(folder) + filename + (hasExtension ? "" : ".exe");
        if (FileExists(path)) return path;
    }
    return {};
}

void RunProgram(const std::string& filename, const std::string& parameters, bool wait) {
    const std::string commandLine = RunProgramCommandLine(filename, parameters);
    std::wstring mutableLine = Widen(commandLine);  // CreateProcessW may write into it
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // Named to CreateProcessW in full: left to search, it would look in
    // Setup.exe's own folder (a Downloads folder) and the current folder
    // before the system's.
    const std::string program = ProgramByFullPath(filename);
    if (program.empty()) SetLastError(ERROR_FILE_NOT_FOUND);
    if (program.empty() || !CreateProcessW(Widen(program).c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                                           nullptr, nullptr, &si, &pi)) {
        const DWORD code = GetLastError();
        AppMsgBoxFmt("不能运行文件：\r\n%s\r\n\r\n错误 #%d: %s",
                     {commandLine, static_cast<int>(code), SystemErrorText(code)}, "", mbtCriticalError, MB_OK);
        return;
    }
    UniqueHandle(pi.hThread).reset();
    const UniqueHandle process(pi.hProcess);
    if (!wait) return;
    // Keep painting and the close box alive while the program runs; stop
    // waiting when the application quits (WM_QUIT would wake the wait at once).
    HANDLE handle = process.get();
    bool live = ProcessMessages();
    while (live && MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        live = ProcessMessages();
}

void RunRunRecords(const std::vector<TRunRec>& records) {
    for (const TRunRec& rec : records) {
        try {
            const std::string program = ExpandDirConstants(rec.Filename);
            LogLine("Running " + program);
            RunProgram(program, ExpandDirConstants(rec.Parameters), (rec.Flags & rnNoWait) == 0);
        } catch (...) {
            HandleCurrentException();
        }
    }
}

}  // namespace qv
