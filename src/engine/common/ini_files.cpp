#include "engine/common/ini_files.h"

#include <windows.h>

#include "engine/common/win_text.h"

namespace qv {

bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& fileName) {
    const std::wstring s = Widen(section), k = Widen(key), v = Widen(value);
    if (fileName.empty()) return WriteProfileStringW(s.c_str(), k.c_str(), v.c_str()) != FALSE;
    return WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), Widen(fileName).c_str()) != FALSE;
}

}  // namespace qv
