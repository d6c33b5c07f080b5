#include "tool/held_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "core/errors.h"
#include "tool/tool_errors.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv::tool {

namespace {

std::string SystemText(int code) { return std::system_category().message(code); }

}  // namespace


#ifdef _WIN32

namespace {

// Held without delete sharing: neither renamed, removed nor replaced by a
// link until it is let go; others may still read and write in it.
HANDLE OpenFolderHandle(const fs::path& path, DWORD flags) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

}  // namespace

HeldFolder HeldFolder::OpenRoot(const fs::path& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) throw IoFailure("cannot create the folder '" + PathToUtf8(path) + "': " + error.message());
    HeldFolder root;
    root.path_ = path;
    const HANDLE handle = OpenFolderHandle(path, 0);
    if (handle == INVALID_HANDLE_VALUE)
        throw IoFailure("cannot open the folder '" + PathToUtf8(path) + "': " + SystemText(static_cast<int>(GetLastError())));
    root.folder_.reset(handle);
    return root;
}

PathKind HeldFolder::OpenSub(const std::string& name, HeldFolder& sub, bool* made) const {
    const fs::path path = path_ / PathFromUtf8(name);
    const bool created = CreateDirectoryW(path.c_str(), nullptr);
    if (!created && GetLastError() != ERROR_ALREADY_EXISTS)
        throw IoFailure("cannot create the folder '" + PathToUtf8(path) + "': " + SystemText(static_cast<int>(GetLastError())));
    if (made) *made = created;
    const HANDLE handle = OpenFolderHandle(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE)
        throw IoFailure("cannot open the folder '" + PathToUtf8(path) + "': " + SystemText(static_cast<int>(GetLastError())));
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info);
    // Judged on what was opened: a link or junction itself, never its
    // target. Wine opens the target of a link even so; the name's own
    // attributes, read while the handle holds it, tell there.
    const DWORD named = GetFileAttributesW(path.c_str());
    const bool link = (known && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ||
                      (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT));
    const PathKind kind = !known                                           ? PathKind::Missing
                          : link                                           ? PathKind::Link
                          : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder
                                                                           : PathKind::File;
    if (kind != PathKind::Folder) {
        const DWORD failure = GetLastError();
        CloseHandle(handle);
        if (kind == PathKind::Missing)
            throw IoFailure("cannot read the folder '" + PathToUtf8(path) + "': " + SystemText(static_cast<int>(failure)));
        return kind;
    }
    sub = HeldFolder();
    sub.path_ = path;
    sub.folder_.reset(handle);
    return kind;
}

PathKind HeldFolder::KindOf(const std::string& name) const { return KindOfPath(path_ / PathFromUtf8(name)); }

namespace {

class StdioNewFile final : public NewFile {
public:
    explicit StdioNewFile(const std::string& utf8Path) : file_(utf8Path, FileCreation::New) {}
    void Write(const void* buffer, std::size_t count) override { file_.Write(buffer, count); }
    std::uint64_t Position() const override { return file_.Position(); }
    void Close() override { file_.Close(); }

private:
    FileOutStream file_;
};

}  // namespace

std::unique_ptr<NewFile> HeldFolder::CreateNew(const std::string& name) const {
    return std::make_unique<StdioNewFile>(PathToUtf8(path_ / PathFromUtf8(name)));
}

bool HeldFolder::SetLocalTime(const std::string& name, std::uint64_t localFileTime) const {
    return SetLocalFileTime(path_ / PathFromUtf8(name), localFileTime);
}

void HeldFolder::MoveReplacing(const std::string& from, const std::string& to) const {
    tool::MoveReplacing(path_ / PathFromUtf8(from), path_ / PathFromUtf8(to));
}

void HeldFolder::Remove(const std::string& name) const noexcept {
    DeleteFileW((path_ / PathFromUtf8(name)).c_str());
}

#else

HeldFolder HeldFolder::OpenRoot(const fs::path& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) throw IoFailure("cannot create the folder '" + PathToUtf8(path) + "': " + error.message());
    HeldFolder root;
    root.path_ = path;
    root.folder_.reset(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.folder_) throw IoFailure("cannot open the folder '" + PathToUtf8(path) + "': " + SystemText(errno));
    return root;
}

PathKind HeldFolder::OpenSub(const std::string& name, HeldFolder& sub, bool* made) const {
    const fs::path path = path_ / PathFromUtf8(name);
    const bool created = mkdirat(folder_.get(), name.c_str(), 0777) == 0;
    if (!created && errno != EEXIST)
        throw IoFailure("cannot create the folder '" + PathToUtf8(path) + "': " + SystemText(errno));
    if (made) *made = created;
    // Whatever is at the name now, made a moment ago or swapped in since:
    // a link is not followed, so only the folder itself opens.
    const int fd = openat(folder_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int failure = errno;
        const PathKind kind = KindOf(name);
        if (kind == PathKind::Link || kind == PathKind::File) return kind;
        throw IoFailure("cannot open the folder '" + PathToUtf8(path) + "': " + SystemText(failure));
    }
    sub = HeldFolder();
    sub.path_ = path;
    sub.folder_.reset(fd);
    return PathKind::Folder;
}

PathKind HeldFolder::KindOf(const std::string& name) const {
    struct stat info {};
    if (fstatat(folder_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return PathKind::Missing;
    if (S_ISLNK(info.st_mode)) return PathKind::Link;
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
}

namespace {

class DescriptorNewFile final : public NewFile {
public:
    explicit DescriptorNewFile(UniqueSystemHandle file) : file_(std::move(file)) {}
    void Write(const void* buffer, std::size_t count) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        while (count) {
            const ssize_t put = write(file_.get(), p, std::min<std::size_t>(count, 1u << 30));
            if (put < 0) {
                if (errno == EINTR) continue;
                throw EInOutError(InOutCodeFromErrno(errno));
            }
            // A disk that is full takes fewer bytes, then none: said as a failure.
            if (put == 0) throw EInOutError(InOutCodeFromErrno(ENOSPC));
            p += put;
            count -= static_cast<std::size_t>(put);
            position_ += static_cast<std::uint64_t>(put);
        }
    }
    std::uint64_t Position() const override { return position_; }
    void Close() override {
        // Some file systems report a failed write only here.
        if (close(file_.release()) != 0 && errno != EINTR) throw EInOutError(InOutCodeFromErrno(errno));
    }

private:
    UniqueSystemHandle file_;
    std::uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<NewFile> HeldFolder::CreateNew(const std::string& name) const {
    UniqueSystemHandle file(
        openat(folder_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file) throw EInOutError(InOutCodeFromErrno(errno));
    return std::make_unique<DescriptorNewFile>(std::move(file));
}

bool HeldFolder::SetLocalTime(const std::string& name, std::uint64_t localFileTime) const {
    struct timespec times[2];
    if (!UnixTimesOfLocalFileTime(localFileTime, times[0].tv_sec, times[0].tv_nsec)) return false;
    times[1] = times[0];
    return utimensat(folder_.get(), name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

void HeldFolder::MoveReplacing(const std::string& from, const std::string& to) const {
    if (renameat(folder_.get(), from.c_str(), folder_.get(), to.c_str()) != 0)
        throw IoFailure("cannot move '" + PathToUtf8(path_ / PathFromUtf8(from)) + "' to '" +
                        PathToUtf8(path_ / PathFromUtf8(to)) + "': " + InOutErrorText(InOutCodeFromErrno(errno)));
}

void HeldFolder::Remove(const std::string& name) const noexcept { unlinkat(folder_.get(), name.c_str(), 0); }

#endif

}  // namespace qv::tool
