// A file opened once and read through that one handle for as long as the
// run needs it: by name, a later read could find another file.
//
// Windows lets a file be renamed, and another put under its name, while
// readers hold it, unless a holder denies delete sharing; a running program
// is such a file, and so is a data file beside it. Held without write or
// delete sharing, the file can be neither changed, renamed nor replaced
// until the last reader lets go, and every byte read comes from the file
// that was opened, whatever its name leads to meanwhile.
//
//   const auto held = THeldFile::Open(path);     // once
//   std::unique_ptr<InStream> a = held->NewReader();
//   std::unique_ptr<InStream> b = held->NewReader();  // each at its own place
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/io/streams.h"
#include "engine/common/win_handles.h"

namespace qv {

class THeldFile final : public std::enable_shared_from_this<THeldFile> {
public:
    // Opens `path` for reading, sharing it with readers only. A file that
    // another program holds open to change it fails with the sharing
    // violation; any failure raises EInOutError with the system's code.
    static std::shared_ptr<const THeldFile> Open(const std::string& path);

    // The name it was opened by: for messages and the log, never to open again.
    const std::string& Path() const { return path_; }
    // A reader at offset 0. Readers keep the file open and do not disturb
    // one another: each reads at its own position.
    std::unique_ptr<InStream> NewReader() const;

    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;

private:
    struct Token {};

public:
    THeldFile(Token, std::string path, UniqueHFile file) : path_(std::move(path)), file_(std::move(file)) {}

private:
    friend class THeldFileReader;
    std::string path_;
    UniqueHFile file_;
};

}  // namespace qv
