// The rollback journal's file. It is held open without sharing for as long
// as its installation runs (or a recovery works on it): that a second open
// fails with a sharing violation is how another run tells a living
// installation's journal from a dead one's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/journal/journal_writer.h"
#include "engine/common/win_handles.h"

namespace qv {

class TJournalFile final : public journal::JournalSink {
public:
    // A new journal at `path`, which must not exist yet, with `security`'s
    // owner and access list (null: the folder's). Raises EInOutError.
    static std::unique_ptr<TJournalFile> CreateNew(const std::string& path, SECURITY_ATTRIBUTES* security = nullptr);
    // The journal at `path`, read and written by this process alone. Null
    // with `error` set when it does not open: ERROR_SHARING_VIOLATION means
    // that its installation (or another recovery) still holds it.
    static std::unique_ptr<TJournalFile> OpenExisting(const std::string& path, DWORD& error);

    // The whole file. Raises EInOutError.
    std::vector<std::uint8_t> ReadAll();
    // Cuts the file at `size` and appends from there on. Raises EInOutError.
    void CutAt(std::uint64_t size);

    void Append(const std::uint8_t* bytes, std::size_t count) override;
    // FlushFileBuffers, unless the next flush is deferred (DeferNextFlush).
    void Flush() override;
    // The next Flush only notes that bytes wait; a later one, or the
    // file's close, carries them.
    void DeferNextFlush() { deferNext_ = true; }
    void Close() { file_.reset(); }

    // Test programs measure the installation without the flushes; the
    // Setup.exe a user runs always flushes.
    static void SkipFlushes(bool skip);

private:
    explicit TJournalFile(HANDLE file) : file_(file) {}
    UniqueHFile file_;
    bool deferNext_ = false;
};

}  // namespace qv
