#include "engine/install/new_file_stream.h"

#include <cstring>
#include <vector>

#include "core/errors.h"
#include "engine/common/phase_clock.h"
#include "engine/common/system_library.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// The system's own name of a full path: C:\a as \??\C:\a, \\server\share
// as \??\UNC\server\share. A rename by handle hands the name to the
// system as it stands, where a Windows path is not one; Wine would even
// read a bare name against the current folder. This form means the same
// to both.
std::wstring SystemPathOf(const std::wstring& fullPath) {
    if (fullPath.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + fullPath.substr(4);
    if (fullPath.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + fullPath.substr(2);
    return L"\\??\\" + fullPath;
}

}  // namespace

TNewFileStream::TNewFileStream(const std::string& path)
    : file_(CreateFileW(Widen(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
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

bool TNewFileStream::RenameWhileOpen(const std::string& fullPath) {
    const std::wstring name = SystemPathOf(Widen(fullPath));
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    // The structure ends in the name's first character; the name runs on.
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, name.c_str(), nameBytes);
    return system_library::SetFileInformationByHandle(file_.get(), FileRenameInfo, info,
                                                      static_cast<DWORD>(buffer.size())) != FALSE;
}

void TNewFileStream::Close() {
    if (!CloseHandle(file_.release())) RaiseLastInOutError();
}

}  // namespace qv
