#include "engine/install/file_write_time.h"

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

bool ReadFileWriteTime(const std::string& fileName, FILETIME& time) {
    time = FILETIME{};
    WIN32_FIND_DATAW found;
    const UniqueFindHandle find(FindFirstFileW(Widen(fileName).c_str(), &found));
    if (!find || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    time = found.ftLastWriteTime;
    return true;
}

}  // namespace qv
