#include "engine/install/new_file_stream.h"

#include <algorithm>

#include "core/errors.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"

namespace qv {

TNewFileStream::TNewFileStream(const std::string& path)
    : file_(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
    if (!file_) RaiseLastInOutError();
}

void TNewFileStream::Write(const void* buffer, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file_.get(), p + total, piece, &written, nullptr)) RaiseLastInOutError();
        // Success with fewer bytes than asked: the device has no room.
        if (written == 0) throw EInOutError(io_code::DiskFull);
        total += written;
    }
    written_ += count;
}

void TNewFileStream::SetTimes(const FILETIME& utc) {
    if (!SetFileTime(file_.get(), &utc, nullptr, &utc)) RaiseLastInOutError();
}

void TNewFileStream::Close() {
    if (!CloseHandle(file_.release())) RaiseLastInOutError();
}

}  // namespace qv
