// The file version in the version resource of a Windows executable or
// library, read portably from the PE format (the engine compares it with
// the version of an installed file).
#pragma once

#include <cstdint>
#include <optional>

#include "core/io/streams.h"

namespace qv::tool {

struct FileVersion {
    std::uint32_t MS = 0;  // major << 16 | minor
    std::uint32_t LS = 0;  // release << 16 | build
};

// The dwFileVersionMS/LS of the VS_FIXEDFILEINFO of `file`'s first version
// resource; nullopt when the file is no PE image or has no such resource.
// Every offset is checked against the file, so any input is safe.
std::optional<FileVersion> ReadPeFileVersion(InStream& file);

// The machine field of `file`'s PE header (0x14C i386, 0x8664 x86-64);
// nullopt when the file is no PE image.
std::optional<std::uint16_t> ReadPeMachine(InStream& file);

}  // namespace qv::tool
