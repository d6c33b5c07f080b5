#include "engine/instfunc/com_for_process.h"

#include "core/errors.h"

namespace qv {

ComInitialization InitializeComForProcess() {
    ComInitialization com = InitializeCom(COINIT_APARTMENTTHREADED);
    if (!com) throw Exception("初始化失败。");
    return com;
}

}  // namespace qv
