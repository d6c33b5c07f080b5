#include "core/io/streams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "core/errors.h"
#include "core/text/utf8.h"

namespace qv {

void InStream::ReadExact(void* buffer, std::size_t count) {
    if (Read(buffer, count) != count) throw EInOutError(io_code::ReadBeyondEnd);
}

std::size_t MemoryInStream::Read(void* buffer, std::size_t count) {
    const std::size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
    if (n) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void MemoryInStream::Seek(std::uint64_t position) {
    if (position > bytes_.size()) throw EInOutError(io_code::ReadBeyondEnd);
    position_ = static_cast<std::size_t>(position);
}

void MemoryOutStream::Write(const void* buffer, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), p, p + count);
}

int InOutCodeFromErrno(int error) {
    switch (error) {
    case ENOENT: return io_code::FileNotFound;
    case ENAMETOOLONG:
    case EINVAL: return io_code::InvalidFilename;
    case EMFILE:
    case ENFILE: return io_code::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return io_code::AccessDenied;
    case ENOSPC: return io_code::DiskFull;
    default: return error;
    }
}

#ifdef _WIN32
namespace {
static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Windows file functions take UTF-16");

// The path as the wide file functions take it. A path that is not UTF-8
// names no file: EINVAL, without a converted guess that could name another.
// Converted here, not by std::filesystem, which brings the whole locale
// library (some 700 KB) into every program that opens a file.
std::optional<std::wstring> WidePath(const std::string& utf8Path) {
    const auto utf16 = utf8::ToUtf16(utf8Path);
    if (!utf16) {
        errno = EINVAL;
        return std::nullopt;
    }
    return std::wstring(utf16->begin(), utf16->end());
}
}  // namespace
#endif

std::FILE* OpenFileUtf8(const std::string& utf8Path, const char* mode) {
#ifdef _WIN32
    const auto path = WidePath(utf8Path);
    if (!path) return nullptr;
    std::wstring wideMode(mode, mode + std::strlen(mode));
    return _wfopen(path->c_str(), wideMode.c_str());
#else
    return std::fopen(utf8Path.c_str(), mode);
#endif
}

namespace {
bool SeekTo(std::FILE* file, std::uint64_t position) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}
std::uint64_t TellOf(std::FILE* file) {
#ifdef _WIN32
    return static_cast<std::uint64_t>(_ftelli64(file));
#else
    return static_cast<std::uint64_t>(ftello(file));
#endif
}
}  // namespace

FileInStream::FileInStream(const std::string& utf8Path) : file_(OpenFileUtf8(utf8Path, "rb")) {
    if (!file_) throw EInOutError(InOutCodeFromErrno(errno));
    if (!SeekTo(file_, 0) || std::fseek(file_, 0, SEEK_END) != 0) {
        std::fclose(file_);
        throw EInOutError(InOutCodeFromErrno(errno));
    }
    size_ = TellOf(file_);
    SeekTo(file_, 0);
}

FileInStream::~FileInStream() { std::fclose(file_); }

std::size_t FileInStream::Read(void* buffer, std::size_t count) {
    const std::size_t got = std::fread(buffer, 1, count, file_);
    if (got < count && std::ferror(file_)) throw EInOutError(InOutCodeFromErrno(errno));
    return got;
}

void FileInStream::Seek(std::uint64_t position) {
    if (!SeekTo(file_, position)) throw EInOutError(InOutCodeFromErrno(errno));
}

std::uint64_t FileInStream::Position() const { return TellOf(file_); }

namespace {

std::FILE* CreateNewFileUtf8(const std::string& utf8Path) {
#ifdef _WIN32
    const auto path = WidePath(utf8Path);
    if (!path) return nullptr;
    const int fd = _wopen(path->c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int fd = open(utf8Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

}  // namespace

FileOutStream::FileOutStream(const std::string& utf8Path, FileCreation creation)
    : file_(creation == FileCreation::New ? CreateNewFileUtf8(utf8Path) : OpenFileUtf8(utf8Path, "wb")) {
    if (!file_) throw EInOutError(InOutCodeFromErrno(errno));
}

FileOutStream::~FileOutStream() {
    if (file_) std::fclose(file_);
}

void FileOutStream::Write(const void* buffer, std::size_t count) {
    if (count && std::fwrite(buffer, 1, count, file_) != count)
        throw EInOutError(InOutCodeFromErrno(errno));
}

std::uint64_t FileOutStream::Position() const { return TellOf(file_); }

void FileOutStream::Patch(std::uint64_t position, const void* buffer, std::size_t count) {
    const std::uint64_t end = TellOf(file_);
    if (!SeekTo(file_, position)) throw EInOutError(InOutCodeFromErrno(errno));
    Write(buffer, count);
    if (!SeekTo(file_, end)) throw EInOutError(InOutCodeFromErrno(errno));
}

void FileOutStream::Close() {
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) throw EInOutError(InOutCodeFromErrno(errno));
}

}  // namespace qv
