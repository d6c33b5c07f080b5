#include "engine/common/win_file_stream.h"

#include <algorithm>

#include "core/errors.h"
#include "engine/common/win_text.h"

namespace qv {

int InOutCodeFromWin32(DWORD error) {
    switch (error) {
    case ERROR_HANDLE_EOF: return io_code::ReadBeyondEnd;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return io_code::DiskFull;
    // The codes 2 to 5 (file not found, path not found, too many open
    // files, access denied) are the run-time library's own.
    default: return static_cast<int>(error);
    }
}

void RaiseLastInOutError() { throw EInOutError(InOutCodeFromWin32(GetLastError())); }

WinFileInStream::WinFileInStream(const std::string& path)
    : file_(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_) RaiseLastInOutError();
}

namespace {

void SeekTo(HANDLE file, std::uint64_t position, DWORD from) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file, distance, nullptr, from)) RaiseLastInOutError();
}

std::uint64_t CurrentPosition(HANDLE file) {
    LARGE_INTEGER zero{}, position{};
    if (!SetFilePointerEx(file, zero, &position, FILE_CURRENT)) RaiseLastInOutError();
    return static_cast<std::uint64_t>(position.QuadPart);
}

}  // namespace

std::size_t WinFileInStream::Read(void* buffer, std::size_t count) {
    auto* p = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    // ReadFile takes 32-bit counts; large reads go in pieces.
    while (total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file_.get(), p + total, piece, &got, nullptr)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            RaiseLastInOutError();
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

void WinFileInStream::Seek(std::uint64_t position) { SeekTo(file_.get(), position, FILE_BEGIN); }

std::uint64_t WinFileInStream::Position() const { return CurrentPosition(file_.get()); }

std::uint64_t WinFileInStream::Size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) RaiseLastInOutError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

WinFileOutStream::WinFileOutStream(const std::string& path)
    : file_(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
    if (!file_) RaiseLastInOutError();
    // CREATE_ALWAYS tells a replaced file apart by this code on success.
    replacedExisting_ = GetLastError() == ERROR_ALREADY_EXISTS;
}

void WriteAllToFile(HANDLE file, const void* buffer, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, p + total, piece, &written, nullptr)) RaiseLastInOutError();
        // Success with fewer bytes than asked: the device has no room.
        if (written == 0) throw EInOutError(io_code::DiskFull);
        total += written;
    }
}

void WinFileOutStream::Write(const void* buffer, std::size_t count) { WriteAllToFile(file_.get(), buffer, count); }

std::uint64_t WinFileOutStream::Position() const { return CurrentPosition(file_.get()); }

void WinFileOutStream::Patch(std::uint64_t position, const void* buffer, std::size_t count) {
    SeekTo(file_.get(), position, FILE_BEGIN);
    Write(buffer, count);
    SeekTo(file_.get(), 0, FILE_END);
}

void WinFileOutStream::Close() {
    if (!FlushFileBuffers(file_.get())) RaiseLastInOutError();
    if (!CloseHandle(file_.release())) RaiseLastInOutError();
}

}  // namespace qv
