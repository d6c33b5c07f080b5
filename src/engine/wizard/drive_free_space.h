// The free space of a drive as the destination folder page weighs it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace qv {

// The exact product of the three numbers GetDiskFreeSpace reports. Each of
// them is 32-bit, and drives beyond 4 GiB are common, so the product is
// taken in 64 bits.
std::uint64_t DriveFreeBytes(DWORD bytesPerSector, DWORD sectorsPerCluster, DWORD freeClusters);

// The free bytes of the drive `letter` (as in "C"). False when there is no
// such drive or no disk in it; Windows never asks for a disk.
bool GetDriveFreeSpace(char letter, std::uint64_t& freeBytes);

// How a check asks for a drive's free space; tests present drives of any size.
using DriveFreeSpaceQuery = std::function<bool(char letter, std::uint64_t& freeBytes)>;

}  // namespace qv
