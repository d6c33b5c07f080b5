#include "engine/common/held_file.h"

#include <algorithm>

#include "core/errors.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"

namespace qv {

// Reads at explicit offsets: the handle's own file pointer is shared by
// every reader, a position of each reader's own is not.
class THeldFileReader final : public InStream {
public:
    explicit THeldFileReader(std::shared_ptr<const THeldFile> file) : file_(std::move(file)) {}

    std::size_t Read(void* buffer, std::size_t count) override {
        auto* p = static_cast<std::uint8_t*>(buffer);
        std::size_t total = 0;
        // ReadFile takes 32-bit counts; large reads go in pieces.
        while (total < count) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(position_);
            at.OffsetHigh = static_cast<DWORD>(position_ >> 32);
            DWORD got = 0;
            if (!ReadFile(file_->file_.get(), p + total, piece, &got, &at)) {
                // A synchronous handle reports the end of the file this way
                // when the offset is at or past it.
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                RaiseLastInOutError();
            }
            if (got == 0) break;
            total += got;
            position_ += got;
        }
        return total;
    }
    // A position past the end is allowed; the next read then finds nothing.
    void Seek(std::uint64_t position) override {
        // As SetFilePointerEx judges it: a position beyond the signed range
        // (a negative /SL offset) is refused as an invalid parameter.
        if (position > static_cast<std::uint64_t>(INT64_MAX)) throw EInOutError(InOutCodeFromWin32(ERROR_NEGATIVE_SEEK));
        position_ = position;
    }
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_->file_.get(), &size)) RaiseLastInOutError();
        return static_cast<std::uint64_t>(size.QuadPart);
    }

private:
    std::shared_ptr<const THeldFile> file_;
    std::uint64_t position_ = 0;
};

std::shared_ptr<const THeldFile> THeldFile::Open(const std::string& path) {
    UniqueHFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastInOutError();
    return std::make_shared<const THeldFile>(Token{}, path, std::move(file));
}

std::unique_ptr<InStream> THeldFile::NewReader() const {
    return std::make_unique<THeldFileReader>(shared_from_this());
}

}  // namespace qv
