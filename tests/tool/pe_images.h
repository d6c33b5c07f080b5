// Small Windows images made byte by byte for the tests: a PE32 or PE32+
// whose only section holds a resource tree with one RT_VERSION entry.
#pragma once

#include <cstdint>

#include "workspace.h"

namespace qv::test {

// File offsets in the image: the resource tree, and in it the data entry
// and the VS_VERSIONINFO block it points at.
inline constexpr std::uint32_t kImageResources = 0x400;
inline constexpr std::uint32_t kImageVersionEntry = kImageResources + 0x48;
inline constexpr std::uint32_t kImageVersionInfo = kImageResources + 0x58;

// `ms` = major << 16 | minor, `ls` = release << 16 | build.
Bytes MakeVersionedImage(bool pe32Plus, std::uint32_t ms, std::uint32_t ls);
// The same image whose one resource is an icon (RT_ICON): it has no version.
Bytes MakeImageWithoutVersion();

}  // namespace qv::test
