#include "engine/wizard/drive_free_space.h"

#include "engine/common/win_handles.h"

namespace qv {

std::uint64_t DriveFreeBytes(DWORD bytesPerSector, DWORD sectorsPerCluster, DWORD freeClusters) {
    // 2^32 * 2^32 * 2^32 would not fit either, but a sector of a real drive
    // is a few KiB and a cluster a few hundred sectors, so bytes per cluster
    // stay far below 2^32 and the second product below 2^64.
    const std::uint64_t bytesPerCluster = std::uint64_t{bytesPerSector} * sectorsPerCluster;
    return bytesPerCluster * freeClusters;
}

bool GetDriveFreeSpace(char letter, std::uint64_t& freeBytes) {
    const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(letter)), L':', L'\\', L'\0'};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    const ScopedErrorMode noDiskBox(SEM_FAILCRITICALERRORS);
    if (!GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return false;
    freeBytes = DriveFreeBytes(bytesPerSector, sectorsPerCluster, freeClusters);
    return true;
}

}  // namespace qv
