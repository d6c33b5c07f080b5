#include "tool/positional_file.h"

#include <algorithm>
#include <cerrno>

#include "core/errors.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv::tool {

namespace {

class PositionalReader final : public InStream {
public:
    explicit PositionalReader(std::shared_ptr<const PositionalFile> file) : file_(std::move(file)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t got = file_->ReadAt(position_, buffer, count);
        position_ += got;
        return got;
    }
    // A position past the end is allowed; the next read then finds nothing.
    void Seek(std::uint64_t position) override { position_ = position; }
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return file_->Size(); }

private:
    std::shared_ptr<const PositionalFile> file_;
    std::uint64_t position_ = 0;
};

#ifdef _WIN32
// The run-time library's code for what the system said, as _wfopen would set it.
int ErrnoOfLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    default: return EIO;
    }
}
#endif

}  // namespace

std::unique_ptr<InStream> PositionalFile::NewReader() const {
    return std::make_unique<PositionalReader>(shared_from_this());
}

#ifdef _WIN32

std::shared_ptr<const PositionalFile> PositionalFile::Open(const std::filesystem::path& path) {
    std::shared_ptr<PositionalFile> file(new PositionalFile);
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw EInOutError(InOutCodeFromErrno(ErrnoOfLastError()));
    file->file_.reset(handle);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) throw EInOutError(InOutCodeFromErrno(ErrnoOfLastError()));
    file->size_ = static_cast<std::uint64_t>(size.QuadPart);
    return file;
}

std::size_t PositionalFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + total);
        at.OffsetHigh = static_cast<DWORD>((offset + total) >> 32);
        DWORD got = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        if (!ReadFile(file_.get(), p + total, piece, &got, &at)) {
            // A synchronous handle says so at or past the end.
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            throw EInOutError(InOutCodeFromErrno(ErrnoOfLastError()));
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

#else

std::shared_ptr<const PositionalFile> PositionalFile::Open(const std::filesystem::path& path) {
    std::shared_ptr<PositionalFile> file(new PositionalFile);
    file->file_.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file->file_) throw EInOutError(InOutCodeFromErrno(errno));
    struct stat info {};
    if (fstat(file->file_.get(), &info) != 0) throw EInOutError(InOutCodeFromErrno(errno));
    // A folder opens for reading, and reads fail later; refused here as fopen's users saw it.
    if (S_ISDIR(info.st_mode)) throw EInOutError(InOutCodeFromErrno(EISDIR));
    file->size_ = static_cast<std::uint64_t>(info.st_size);
    return file;
}

std::size_t PositionalFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const ssize_t got = pread(file_.get(), p + total, std::min<std::size_t>(count - total, 1u << 30),
                                  static_cast<off_t>(offset + total));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EInOutError(InOutCodeFromErrno(errno));
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

#endif

}  // namespace qv::tool
