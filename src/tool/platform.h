// What differs between Linux and Windows for the tool: UTF-8 paths, file
// times, terminals, replacing files and where the program itself lies.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

namespace qv::tool {

namespace fs = std::filesystem;

// Paths travel as UTF-8 strings through the core; these convert at the edge
// (on Windows the native form is UTF-16).
fs::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const fs::path& path);

// A Windows FILETIME (100-ns intervals since 1601-01-01) that holds the
// wall-clock time of this machine's time zone, as TFileRec.FileTime does.
// The last-write time of a file, as local time; IoFailure when unreadable.
std::uint64_t LocalFileTimeOf(const fs::path& path);
// Sets the last-write (and access) time of a file from a local FILETIME.
// False when the time cannot be represented here or the call fails.
bool SetLocalFileTime(const fs::path& path, std::uint64_t localFileTime);
#ifndef _WIN32
// The Unix time of a local FILETIME; false when it cannot be represented.
bool UnixTimesOfLocalFileTime(std::uint64_t localFileTime, std::time_t& seconds, long& nanoseconds);
#endif

// Converts between a local FILETIME and its calendar fields.
struct CalendarTime {
    int Year = 1601, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
    std::uint32_t HundredNanoseconds = 0;
};
CalendarTime CalendarFromFileTime(std::uint64_t fileTime);
// False when the date lies before 1601 or past what a FILETIME holds.
bool FileTimeFromCalendar(const CalendarTime& time, std::uint64_t& fileTime);

// Moves `from` over `to`, replacing a file that is there.
void MoveReplacing(const fs::path& from, const fs::path& to);

// What is at `path` itself, a link not followed: on Windows any reparse
// point (a symbolic link, a junction, a mount point) is a Link.
enum class PathKind { Missing, File, Folder, Link };
PathKind KindOfPath(const fs::path& path);

// The file of the running program (files shipped beside qvsetup are found
// through it); empty when the system does not tell.
fs::path RunningProgramPath();

// True when standard error is a terminal (where a progress bar belongs).
bool StandardErrorIsTerminal();

// Ctrl-C and termination requests only set a flag; long work calls
// ThrowIfInterrupted often, so that the exception unwinds through the
// owners of half-written output, which remove it.
void CatchInterrupts();
void ThrowIfInterrupted();  // raises Interrupted

}  // namespace qv::tool
