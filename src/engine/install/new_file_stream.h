// The temporary file a file's data is decompressed into, beside its
// destination: created anew and held without sharing, so that nobody reads
// it half written and no file of the same name is ever overwritten.
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

    // Sets the creation and the last-write time; the last-access time stays.
    void SetTimes(const FILETIME& utc);
    // Closes, raising EInOutError when the system reports a failure (of a
    // delayed write, for one); the destructor closes without a word.
    void Close();

private:
    UniqueHFile file_;
    std::uint64_t written_ = 0;
};

}  // namespace qv
