#include "engine/common/install_log.h"

#include <windows.h>


#include "core/text/path_strings.h"
#include "engine/common/process_command_line.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "core/text/number_text.h"

namespace qv {

namespace {

struct OpenLog {
    UniqueHFile File;
    std::string Path;
};

OpenLog& TheLog() {
    static OpenLog log;
    return log;
}

std::string TimeOfDay() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return UnsignedDigits(t.wHour, 2) + ":" + UnsignedDigits(t.wMinute, 2) + ":" + UnsignedDigits(t.wSecond, 2) + "." +
           UnsignedDigits(t.wMilliseconds, 3);
}

void WriteRaw(const std::string& bytes) {
    OpenLog& log = TheLog();
    if (!log.File) return;
    DWORD written = 0;
    if (!WriteFile(log.File.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        // A full disk or a removed medium: the run goes on without its log.
        log.File.reset();
    }
}

}  // namespace

bool OpenInstallLog(const std::string& path) {
    OpenLog& log = TheLog();
    log.File.reset(CreateFileW(Widen(path).c_str(), GENERIC_WRITE,
                               // Readable while it grows, whatever share mode the reader asks for.
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.File) return false;
    log.Path = path;
    // The byte order mark tells editors of any code page that this is UTF-8.
    WriteRaw("\xEF\xBB\xBF");
    return true;
}

void CloseInstallLog() {
    OpenLog& log = TheLog();
    log.File.reset();
    log.Path.clear();
}

bool InstallLogIsOpen() { return static_cast<bool>(TheLog().File); }

std::string InstallLogPath() { return InstallLogIsOpen() ? TheLog().Path : std::string(); }

void LogLine(const std::string& text) {
    if (!InstallLogIsOpen()) return;
    std::string line = TimeOfDay() + "  ";
    for (char c : text) {
        if (c == '\r') continue;
        line += c;
        if (c == '\n') line += "              ";
    }
    line += "\r\n";
    WriteRaw(line);
}

std::string DefaultInstallLogPath(const std::string& folder, const std::string& title) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const std::string when = " " + UnsignedDigits(t.wYear, 4) + "-" + UnsignedDigits(t.wMonth, 2) + "-" +
                             UnsignedDigits(t.wDay, 2) + " " + UnsignedDigits(t.wHour, 2) + "-" +
                             UnsignedDigits(t.wMinute, 2) + "-" + UnsignedDigits(t.wSecond, 2) + ".txt";
    return AppendBackslash(folder) + title + when;
}

bool StartRunLog(std::string& path, const std::string& title, const std::string& heading, const std::string& mode) {
    if (path.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path = DefaultInstallLogPath(Narrow(temp), title);
    }
    if (!OpenInstallLog(path)) return false;
    LogLine(heading);
    LogLine("Command line: " + CommandLineTail());
    const WindowsVersion v = GetWindowsVersion();
    LogLine("Windows " + std::to_string(v.Major()) + "." + std::to_string(v.Minor()) +
            (v.PlatformId == kPlatformWin32NT ? " (NT)" : ""));
    LogLine("Mode: " + mode);
    return true;
}

}  // namespace qv
