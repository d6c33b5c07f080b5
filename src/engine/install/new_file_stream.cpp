#include "engine/install/new_file_stream.h"

#include "core/errors.h"
#include "engine/common/phase_clock.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"

namespace qv {

TNewFileStream::TNewFileStream(const std::string& path)
    : file_(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
    if (!file_) RaiseLastInOutError();
}

void TNewFileStream::Write(const void* buffer, std::size_t count) {
    const TPhaseScope phase(TPhase::WriteFile);
    WriteAllToFile(file_.get(), buffer, count);
    written_ += count;
}

void TNewFileStream::SetTimes(const FILETIME& utc) {
    if (!SetFileTime(file_.get(), &utc, nullptr, &utc)) RaiseLastInOutError();
}

void TNewFileStream::Close() {
    if (!CloseHandle(file_.release())) RaiseLastInOutError();
}

}  // namespace qv
