// The temporary file a file's data is decompressed into, beside its
// destination: created anew and held without sharing, so that nobody reads
// it half written and no file of the same name is ever overwritten. Held
// with the right to rename it, so that it can move to its place before it
// is closed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/io/streams.h"
#include "engine/common/win_handles.h"

namespace qv {

class TNewFileStream final : public OutStream {
public:
    // Raises EInOutError, also when a file or folder of that name exists.
    explicit TNewFileStream(const std::string& path);

    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return written_; }
    bool IsOpen() const { return static_cast<bool>(file_); }

    // Sets the creation and the last-write time; the last-access time stays.
    void SetTimes(const FILETIME& utc);
    // Renames the open file to `fullPath`, a free name; no file there is
    // replaced. Renaming by name opens the file once more and looks up
    // both names again, which under Wine costs as much as the rename
    // itself. False, the file still open under its old name, where the
    // system cannot rename an open file (before Windows Vista) or refuses:
    // the caller then closes it and renames it by name, which says why.
    bool RenameWhileOpen(const std::string& fullPath);
    // Closes, raising EInOutError when the system reports a failure (of a
    // delayed write, for one); the destructor closes without a word.
    void Close();

private:
    UniqueHFile file_;
    std::uint64_t written_ = 0;
};

}  // namespace qv
