// The tool's owner of an open file or folder of the system: a HANDLE on
// Windows, a descriptor elsewhere, closed with its owner. Declared without
// the system's headers, which only the files that use the handle include.
#pragma once

#include "core/unique_owner.h"

namespace qv::tool {

struct SystemHandleTraits {
#ifdef _WIN32
    using Handle = void*;  // a HANDLE; INVALID_HANDLE_VALUE is never held
    static Handle Empty() noexcept { return nullptr; }
#else
    using Handle = int;
    static Handle Empty() noexcept { return -1; }
#endif
    static void Close(Handle handle) noexcept;
};
using UniqueSystemHandle = UniqueOwner<SystemHandleTraits>;

}  // namespace qv::tool
