#include "tool/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/unique_owner.h"
#include "tool/tool_errors.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv::tool {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
// Days from 1601-01-01 (FILETIME's epoch) to 1970-01-01 (time_t's).
constexpr std::int64_t kDaysFrom1601To1970 = 134'774;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// Local wall-clock fields of a UTC time_t.
bool LocalFields(std::int64_t utcSeconds, std::tm& fields) {
    const auto t = static_cast<std::time_t>(utcSeconds);
#ifdef _WIN32
    return localtime_s(&fields, &t) == 0;
#else
    return localtime_r(&t, &fields) != nullptr;
#endif
}

std::uint64_t LocalFileTimeFromUtc(std::int64_t utcSeconds, std::uint32_t hundredNs) {
    std::tm local{};
    if (!LocalFields(utcSeconds, local)) throw IoFailure("a file time cannot be converted to local time");
    CalendarTime c;
    c.Year = local.tm_year + 1900;
    c.Month = local.tm_mon + 1;
    c.Day = local.tm_mday;
    c.Hour = local.tm_hour;
    c.Minute = local.tm_min;
    c.Second = local.tm_sec;
    c.HundredNanoseconds = hundredNs;
    std::uint64_t fileTime = 0;
    if (!FileTimeFromCalendar(c, fileTime)) throw IoFailure("a file time lies before the year 1601");
    return fileTime;
}

// The wall-clock fields of a local calendar time, for mktime to convert;
// whether daylight saving applies is left to mktime.
std::tm LocalFieldsOf(const CalendarTime& c) {
    std::tm fields{};
    fields.tm_year = c.Year - 1900;
    fields.tm_mon = c.Month - 1;
    fields.tm_mday = c.Day;
    fields.tm_hour = c.Hour;
    fields.tm_min = c.Minute;
    fields.tm_sec = c.Second;
    fields.tm_isdst = -1;
    return fields;
}

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

#ifdef _WIN32
// A handle from CreateFileW: empty at INVALID_HANDLE_VALUE.
struct FileTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
using FileHandle = UniqueOwner<FileTraits>;
#endif

}  // namespace

void CatchInterrupts() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

void ThrowIfInterrupted() {
    if (interrupted) throw Interrupted();
}

fs::path PathFromUtf8(const std::string& utf8) { return fs::u8path(utf8); }

std::string PathToUtf8(const fs::path& path) { return path.u8string(); }

CalendarTime CalendarFromFileTime(std::uint64_t fileTime) {
    CalendarTime c;
    const auto ticks = static_cast<std::int64_t>(fileTime / kTicksPerSecond);
    c.HundredNanoseconds = static_cast<std::uint32_t>(fileTime % kTicksPerSecond);
    const std::int64_t days = ticks / kSecondsPerDay;
    std::int64_t secondOfDay = ticks % kSecondsPerDay;
    CivilFromDays(days - kDaysFrom1601To1970, c.Year, c.Month, c.Day);
    c.Hour = static_cast<int>(secondOfDay / 3600);
    c.Minute = static_cast<int>(secondOfDay / 60 % 60);
    c.Second = static_cast<int>(secondOfDay % 60);
    return c;
}

bool FileTimeFromCalendar(const CalendarTime& c, std::uint64_t& fileTime) {
    if (c.Month < 1 || c.Month > 12 || c.Day < 1 || c.Day > 31 || c.Hour < 0 || c.Hour > 23 ||
        c.Minute < 0 || c.Minute > 59 || c.Second < 0 || c.Second > 60 || c.Year > 30000 ||
        c.HundredNanoseconds >= kTicksPerSecond)
        return false;
    const std::int64_t days = DaysFromCivil(c.Year, static_cast<unsigned>(c.Month),
                                            static_cast<unsigned>(c.Day)) + kDaysFrom1601To1970;
    if (days < 0) return false;
    const std::int64_t seconds = days * kSecondsPerDay + c.Hour * 3600 + c.Minute * 60 + c.Second;
    fileTime = static_cast<std::uint64_t>(seconds) * kTicksPerSecond + c.HundredNanoseconds;
    return true;
}

#ifdef _WIN32

std::uint64_t LocalFileTimeOf(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        throw IoFailure("cannot read the time of '" + PathToUtf8(path) + "'");
    const std::uint64_t utc = std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                              data.ftLastWriteTime.dwLowDateTime;
    const auto sinceUnix = static_cast<std::int64_t>(utc) - kDaysFrom1601To1970 * kSecondsPerDay * kTicksPerSecond;
    std::int64_t seconds = sinceUnix / kTicksPerSecond;
    std::int64_t rest = sinceUnix % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    return LocalFileTimeFromUtc(seconds, static_cast<std::uint32_t>(rest));
}

bool SetLocalFileTime(const fs::path& path, std::uint64_t localFileTime) {
    const CalendarTime c = CalendarFromFileTime(localFileTime);
    std::tm fields = LocalFieldsOf(c);
    const __time64_t utcSeconds = _mktime64(&fields);
    if (utcSeconds == -1) return false;
    const std::uint64_t utc = static_cast<std::uint64_t>(
        (utcSeconds + kDaysFrom1601To1970 * kSecondsPerDay) * kTicksPerSecond + c.HundredNanoseconds);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(utc);
    time.dwHighDateTime = static_cast<DWORD>(utc >> 32);
    const FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    // The engine sets the creation and last-write times; extraction does the same.
    return file && SetFileTime(file.get(), &time, nullptr, &time) != 0;
}

void MoveReplacing(const fs::path& from, const fs::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw IoFailure("cannot move '" + PathToUtf8(from) + "' to '" + PathToUtf8(to) + "': " +
                        std::system_category().message(static_cast<int>(GetLastError())));
}

PathKind KindOfPath(const fs::path& path) {
    // libstdc++'s symlink_status sees neither symbolic links nor junctions
    // here: a reparse point of any kind counts as a link.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Folder : PathKind::File;
}

fs::path RunningProgramPath() {
    // The path may be longer than MAX_PATH: grow until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return fs::path(buffer.substr(0, length));
        if (buffer.size() >= 32768) return {};  // no Windows path is longer
        buffer.resize(buffer.size() * 2);
    }
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

#else

std::uint64_t LocalFileTimeOf(const fs::path& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        throw IoFailure("cannot read the time of '" + PathToUtf8(path) + "': " + InOutErrorText(InOutCodeFromErrno(errno)));
    return LocalFileTimeFromUtc(info.st_mtim.tv_sec, static_cast<std::uint32_t>(info.st_mtim.tv_nsec / 100));
}

bool UnixTimesOfLocalFileTime(std::uint64_t localFileTime, std::time_t& seconds, long& nanoseconds) {
    const CalendarTime c = CalendarFromFileTime(localFileTime);
    std::tm fields = LocalFieldsOf(c);
    errno = 0;
    const std::time_t utcSeconds = std::mktime(&fields);
    if (utcSeconds == -1 && errno != 0) return false;
    seconds = utcSeconds;
    nanoseconds = static_cast<long>(c.HundredNanoseconds) * 100;
    return true;
}

bool SetLocalFileTime(const fs::path& path, std::uint64_t localFileTime) {
    struct timespec times[2];
    if (!UnixTimesOfLocalFileTime(localFileTime, times[0].tv_sec, times[0].tv_nsec)) return false;
    times[1] = times[0];
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

void MoveReplacing(const fs::path& from, const fs::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw IoFailure("cannot move '" + PathToUtf8(from) + "' to '" + PathToUtf8(to) + "': " +
                        InOutErrorText(InOutCodeFromErrno(errno)));
}

PathKind KindOfPath(const fs::path& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return PathKind::Missing;
    if (S_ISLNK(info.st_mode)) return PathKind::Link;
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
}

fs::path RunningProgramPath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

bool StandardErrorIsTerminal() { return isatty(fileno(stderr)) != 0; }

#endif

}  // namespace qv::tool
