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

void WinFileInStream::Seek(std::uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file_.get(), distance, nullptr, FILE_BEGIN)) RaiseLastInOutError();
}

std::uint64_t WinFileInStream::Position() const {
    LARGE_INTEGER zero{}, position{};
    if (!SetFilePointerEx(file_.get(), zero, &position, FILE_CURRENT)) RaiseLastInOutError();
    return static_cast<std::uint64_t>(position.QuadPart);
}

std::uint64_t WinFileInStream::Size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) RaiseLastInOutError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace qv
