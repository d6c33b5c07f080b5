#include "engine/undo/undo_support.h"


#include "core/errors.h"
#include "core/setupdata/records.h"
#include "engine/common/ini_profile_cp936.h"
#include "engine/common/system_library.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/shared_file_count.h"
#include "core/text/number_text.h"

namespace qv {

bool LowerSharedFileCount(const std::string& filePath) {
    const UniqueHKey key = OpenSharedDllsKey();
    const TStoredSharedCount stored = ReadSharedFileCount(key.get(), filePath);
    if (!stored.Exists) return false;
    // An unreadable count is taken as two users: this one and somebody
    // else, whose file must not go.
    const std::int32_t count = stored.Count.value_or(2) - 1;
    if (count <= 0) {
        RegDeleteValueW(key.get(), Widen(filePath).c_str());
        return true;
    }
    // Not examined: the key has just been opened for writing.
    WriteSharedFileCount(key.get(), filePath, count, stored.Type);
    return false;
}

TSelfRegisterOutcome CallDllUnregister(const std::string& filePath) {
    return CallLibraryInChild(filePath, TLibraryCall::Unregister);
}

bool IniSectionHasNoKeys(const std::string& section, const std::string& iniFile) {
    return IniSectionHasNoKeysCp936(section, iniFile);
}

HKEY RootKeyOfEntry(std::uint32_t flags) {
    switch (flags) {
    case kHkeyClassesRoot:
    case kHkeyCurrentUser:
    case kHkeyLocalMachine:
    case kHkeyUsers:
    case kHkeyCurrentConfig:
        // The predefined handles are 32-bit values, sign-extended in a
        // 64-bit process.
        return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(flags)));
    default: {
        throw Exception("反安装记录中的注册表根键 0x" + HexDigits(static_cast<unsigned>(flags), 8) + " 不是系统预定义的键");
    }
    }
}

}  // namespace qv
