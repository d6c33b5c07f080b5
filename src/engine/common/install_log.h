// The installation log (/LOG): what a run did and decided, as UTF-8 text
// lines, each handed to the system as soon as it is written, so that a
// crash leaves everything up to that point. Process-wide, like the message
// box: every layer writes to it; while no log is open every call does
// nothing. A log that cannot be written is never a failure of the run.
#pragma once

#include <string>

namespace qv {

// Creates (or replaces) the log file. False when it cannot be created;
// the run goes on without a log.
bool OpenInstallLog(const std::string& path);
// Writes the last line and closes the file.
void CloseInstallLog();
bool InstallLogIsOpen();
// The open log's path, or empty.
std::string InstallLogPath();

// One line, prefixed with the time of day. Line breaks inside `text` are
// kept, each continuation indented, so that every record stays readable.
// A write that fails closes the log quietly.
void LogLine(const std::string& text);

// The log's name when /LOG names no file: in `folder`, named for what it is
// and when it was started, "QV Setup Log 2026-12-08 14-03-27.txt" (the
// uninstaller's title is "QV Uninstall Log").
std::string DefaultInstallLogPath(const std::string& folder, const std::string& title = "QV Setup Log");

// The log of a run's /LOG: opens `path` (empty: DefaultInstallLogPath with
// `title` in the temporary folder, and `path` becomes that name) and
// writes the first lines: `heading`, the command line, the Windows version
// and `mode`. False when the file cannot be created.
bool StartRunLog(std::string& path, const std::string& title, const std::string& heading, const std::string& mode);

}  // namespace qv
