// A file read through Win32, as the core's InStream. It is opened with
// sharing that lets others read but not write, so that the data cannot
// change under the reader. Failures raise EInOutError with the run-time
// library's code for the system error.
#pragma once

#include <string>

#include "core/io/streams.h"
#include "engine/common/win_handles.h"

namespace qv {

class WinFileInStream final : public InStream {
public:
    explicit WinFileInStream(const std::string& path);

    std::size_t Read(void* buffer, std::size_t count) override;
    // A position past the end is allowed; the next read then finds nothing.
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override;
    std::uint64_t Size() const override;

private:
    UniqueHFile file_;
};

// The run-time library's I/O code for a Win32 error: the system code
// itself, except end of file (100) and a full disk (101).
int InOutCodeFromWin32(DWORD error);
// Raises EInOutError for GetLastError().
[[noreturn]] void RaiseLastInOutError();

}  // namespace qv
