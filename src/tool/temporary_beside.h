// A file that extract writes beside its place under a name of its own and
// moves in only once it is whole and checked: a damaged stream, a failed
// write or an interruption leaves no file at the place, and none beside
// it, whichever thread wrote it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/io/streams.h"
#include "tool/folder_way.h"

namespace qv::tool {

class TemporaryBeside {
public:
    TemporaryBeside() = default;
    TemporaryBeside(TemporaryBeside&& other) noexcept;
    TemporaryBeside& operator=(TemporaryBeside&& other) noexcept;
    ~TemporaryBeside();

    // Creates a new file beside `name` in `folder` (a name nothing holds
    // yet: a link planted at it is not followed), held until moved in or
    // removed. Raises EInOutError.
    std::unique_ptr<NewFile> Create(FolderWay::Held folder, const std::string& name);
    // SetLocalFileTime of the file written.
    bool SetLocalTime(std::uint64_t localFileTime) const;
    // Moves the file to `name`, replacing what is there; IoFailure on failure.
    void MoveTo(const std::string& name);

    bool Empty() const { return temporary_.empty(); }

private:
    void Remove() noexcept;

    FolderWay::Held folder_;
    std::string temporary_;
};

}  // namespace qv::tool
