#include "tool/system_handle.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qv::tool {

#ifdef _WIN32
void SystemHandleTraits::Close(Handle handle) noexcept { CloseHandle(handle); }
#else
void SystemHandleTraits::Close(Handle handle) noexcept { close(handle); }
#endif

}  // namespace qv::tool
