#include "engine/instfunc/restart_replace.h"

#include <windows.h>

#include <optional>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "core/setup/wininit.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/unique_name.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

void ReplaceThroughMoveFileEx(const std::string& sourceFile, const std::string& targetFile) {
    const std::wstring source = Widen(sourceFile), target = Widen(targetFile);
    if (!MoveFileExW(source.c_str(), targetFile.empty() ? nullptr : target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
        throw Exception(FormatText("MoveFileEx 失败；代码 %d。", {static_cast<unsigned long>(GetLastError())}));
}

std::string ReadWholeFile(const std::string& path) {
    WinFileInStream file(path);  // others may read it meanwhile, nobody may write
    std::string bytes;
    char buffer[4096];
    while (const std::size_t got = file.Read(buffer, sizeof buffer)) bytes.append(buffer, got);
    return bytes;
}

void WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) RaiseLastInOutError();
    if (written != bytes.size()) throw EInOutError(io_code::DiskFull);
}

void ReplaceThroughWininit(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder) {
    // Made first: a name that cannot be written must not touch the file.
    const std::string line =
        WininitRenameLine(targetFile.empty() ? std::string() : GetShortPath(targetFile), GetShortPath(sourceFile));
    const std::string wininit = AppendBackslash(winFolder) + "WININIT.INI";
    const std::wstring wideWininit = Widen(wininit);

    std::optional<std::wstring> oldCopy;
    if (FileExists(wininit)) {
        const std::string name = MakeUniqueName(winFolder, ".tmp");
        if (!MoveFileW(wideWininit.c_str(), Widen(name).c_str())) RaiseLastInOutError();
        oldCopy = Widen(name);
    }
    // Until the new file is complete, the old one is kept to be put back:
    // other programs' pending replacements live in it too.
    bool created = false, complete = false;
    const ScopeExit cleanUp([&] {
        if (complete) {
            if (oldCopy) DeleteFileW(oldCopy->c_str());
        } else if (oldCopy) {
            MoveFileExW(oldCopy->c_str(), wideWininit.c_str(), MOVEFILE_REPLACE_EXISTING);
        } else if (created) {
            DeleteFileW(wideWininit.c_str());
        }
    });

    const std::optional<std::string> oldText =
        oldCopy ? std::optional<std::string>(ReadWholeFile(Narrow(*oldCopy))) : std::nullopt;
    const std::string newText = AddWininitRename(oldText, line);
    UniqueHFile file(CreateFileW(wideWininit.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) RaiseLastInOutError();
    created = true;
    WriteAll(file.get(), newText);
    if (!CloseHandle(file.release())) RaiseLastInOutError();
    complete = true;
}

}  // namespace

void RestartReplace(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder,
                    bool& restartNeeded) {
    restartNeeded = true;
    if (IsWinNT())
        ReplaceThroughMoveFileEx(sourceFile, targetFile);
    else
        ReplaceThroughWininit(sourceFile, targetFile, winFolder);
}

}  // namespace qv
