// Files through Win32, as the core's streams. Failures raise EInOutError
// with the run-time library's code for the system error.
#pragma once

#include <string>

#include "core/io/streams.h"
#include "engine/common/win_handles.h"

namespace qv {

// A file read with sharing that lets others read but not write, so that the
// data cannot change under the reader.
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

// A file written anew: created, replacing a file of that name, and opened
// without sharing, so that nobody reads it while it is half written.
class WinFileOutStream final : public OutStream {
public:
    explicit WinFileOutStream(const std::string& path);

    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override;
    // Rewrites bytes at an earlier position and returns to the end.
    void Patch(std::uint64_t position, const void* buffer, std::size_t count);
    // Flushes to the disk and closes, so that a failure of a delayed write
    // is seen; the destructor closes without a word.
    void Close();
    // A file of that name was there and has been replaced.
    bool ReplacedExisting() const { return replacedExisting_; }

private:
    UniqueHFile file_;
    bool replacedExisting_ = false;
};

// The run-time library's I/O code for a Win32 error: the system code
// itself, except end of file (100) and a full disk (101).
int InOutCodeFromWin32(DWORD error);
// Raises EInOutError for GetLastError().
[[noreturn]] void RaiseLastInOutError();
// Writes all `count` bytes at the file's position, raising EInOutError
// (Disk full when the device takes no more).
void WriteAllToFile(HANDLE file, const void* buffer, std::size_t count);

}  // namespace qv
