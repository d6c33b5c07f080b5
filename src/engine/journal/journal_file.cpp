#include "engine/journal/journal_file.h"

#include <algorithm>
#include <utility>

#include "core/errors.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

bool flushesSkipped = false;

}  // namespace

void TJournalFile::SkipFlushes(bool skip) { flushesSkipped = skip; }

std::unique_ptr<TJournalFile> TJournalFile::CreateNew(const std::string& path, SECURITY_ATTRIBUTES* security) {
    // No write-through: the records that must reach the disk before a
    // change are flushed, and the done markers ride along with the next
    // flush instead of costing a disk write each.
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, security, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) RaiseLastInOutError();
    return std::unique_ptr<TJournalFile>(new TJournalFile(file));
}

std::unique_ptr<TJournalFile> TJournalFile::OpenExisting(const std::string& path, DWORD& error) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::unique_ptr<TJournalFile>(new TJournalFile(file));
}

std::vector<std::uint8_t> TJournalFile::ReadAll() {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) RaiseLastInOutError();
    // A journal of more than a gigabyte is no journal this engine wrote.
    if (size.QuadPart > (1ll << 30)) throw EInOutError(InOutCodeFromWin32(ERROR_FILE_TOO_LARGE));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN)) RaiseLastInOutError();
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!ReadFile(file_.get(), bytes.data() + done, want, &read, nullptr)) RaiseLastInOutError();
        if (read == 0) break;
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

void TJournalFile::CutAt(std::uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) RaiseLastInOutError();
}

void TJournalFile::Append(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 20));
        if (!WriteFile(file_.get(), bytes, piece, &written, nullptr)) RaiseLastInOutError();
        if (written == 0) throw EInOutError(InOutCodeFromWin32(ERROR_WRITE_FAULT));
        bytes += written;
        count -= written;
    }
}

void TJournalFile::Flush() {
    if (std::exchange(deferNext_, false) || flushesSkipped) return;
    if (!FlushFileBuffers(file_.get())) RaiseLastInOutError();
}

}  // namespace qv
