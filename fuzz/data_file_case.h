// One extraction case for the data-file fuzzer: the file's record, its
// location and the sources (data files, or the /SL file followed by data
// files), all taken from one byte string so that the fuzzer mutates the
// record and the bytes together.
//
// Layout (little-endian):
//   0  int32   TFileRec.OriginalSize
//   4  int32   TFileRec.CompressedSize
//   8  uint32  TFileRec.Adler32
//  12  int32   TFileLocationRec.FirstDisk
//  16  int32   TFileLocationRec.LastDisk
//  20  int32   TFileLocationRec.StartOffset
//  24  int32   the /SL file's file data offset (0: no /SL file)
//  28  uint8   number of sources n (at most kMaxSources)
//  29  n-1 uint32 sizes of the sources but the last, which takes the rest
//  ..  the sources' bytes, back to back
// Source i is the /SL file when i is 0 and the offset is not 0, and data
// file FirstDisk + i otherwise; sizes that reach past the end are cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/bytes.h"
#include "core/setupdata/records.h"

namespace qv::fuzz {

constexpr std::size_t kCaseFixedSize = 29;
constexpr std::size_t kMaxSources = 4;

struct DataFileCase {
    TFileRec File;
    TFileLocationRec Location;
    std::int32_t SlFileDataOffset = 0;
    std::vector<std::vector<std::uint8_t>> Sources;
};

inline std::vector<std::uint8_t> EncodeCase(const DataFileCase& c) {
    std::vector<std::uint8_t> bytes(kCaseFixedSize + 4 * (c.Sources.empty() ? 0 : c.Sources.size() - 1));
    std::uint8_t* p = bytes.data();
    SetI32(p + 0, c.File.OriginalSize);
    SetI32(p + 4, c.File.CompressedSize);
    SetUi32(p + 8, c.File.Adler32);
    SetI32(p + 12, c.Location.FirstDisk);
    SetI32(p + 16, c.Location.LastDisk);
    SetI32(p + 20, c.Location.StartOffset);
    SetI32(p + 24, c.SlFileDataOffset);
    p[28] = static_cast<std::uint8_t>(c.Sources.size());
    for (std::size_t i = 0; i + 1 < c.Sources.size(); ++i)
        SetUi32(p + kCaseFixedSize + 4 * i, static_cast<std::uint32_t>(c.Sources[i].size()));
    for (const auto& source : c.Sources) bytes.insert(bytes.end(), source.begin(), source.end());
    return bytes;
}

// False when the bytes are too short for the fixed part.
inline bool DecodeCase(const std::uint8_t* data, std::size_t size, DataFileCase& c) {
    if (size < kCaseFixedSize) return false;
    c.File.OriginalSize = GetI32(data + 0);
    c.File.CompressedSize = GetI32(data + 4);
    c.File.Adler32 = GetUi32(data + 8);
    c.Location.FirstDisk = GetI32(data + 12);
    c.Location.LastDisk = GetI32(data + 16);
    c.Location.StartOffset = GetI32(data + 20);
    c.SlFileDataOffset = GetI32(data + 24);
    std::size_t count = data[28] % (kMaxSources + 1);
    std::size_t pos = kCaseFixedSize;
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (size - pos < 4) break;
        sizes.push_back(GetUi32(data + pos));
        pos += 4;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t left = size - pos;
        const std::size_t n = i < sizes.size() ? std::min(sizes[i], left) : left;
        c.Sources.emplace_back(data + pos, data + pos + n);
        pos += n;
    }
    return true;
}

}  // namespace qv::fuzz
