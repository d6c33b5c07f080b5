// Solid blocks: the files of a setup compressed together, as the option
// optSolidBlocks of the setup header announces.
//
// Files that resemble each other (the libraries of one application, its
// texts) compress far better together than one by one. The file contents
// are packed, in the order of the file records, into blocks of at most
// kSolidBlockTarget uncompressed bytes (a larger file is a block of its
// own), each one LZMA2 stream; executables pass the x86 branch filter
// first, which turns relative call targets into absolute ones that repeat.
//
// Block layout in the file data (little-endian), where a file's
// TFileLocationRec points (FirstDisk, StartOffset: the marker; LastDisk:
// the data file of the block's last byte). Like a stream, a block that
// runs past the end of data file n continues at offset 12 of data file
// n + 1; its marker always lies whole on its first data file.
//   0  "lzs" 0x1A  the marker. Not "zlb" 0x1A: an engine that knows no
//                  solid blocks finds no stream there and refuses the file
//                  as damaged instead of misreading it.
//   4  uint32  Adler-32 of the header bytes from offset 8 to the end of
//              the member table
//   8  uint32  member count N, 1..kMaxSolidMembers
//  12  uint32  compressed size C of the LZMA2 stream, 1..kMaxSolidStreamSize
//  16  uint8   the LZMA2 dictionary property, at most kMaxSolidDictionaryProperty
//  17  3 bytes 0
//  20  N x 5   per member: uint32 uncompressed size (at most 0x7FFFFFFF),
//              uint8 flags (kSolidMemberX86: decoded through the x86
//              branch filter, which starts afresh with each member)
//  20 + 5N     the LZMA2 stream, C bytes, ending with its end mark right
//              at its last byte
//
// Which member of its block a file is: the member table, one more block
// of the setup data after its last record (framed and checked as every
// block, block.h), present when optSolidBlocks is set: uint32 file count,
// then one uint32 member index per file record. An engine that knows no
// solid blocks reads nothing after the last record, and ignores the option
// bit. Files with identical contents may share one member (the reader
// then decodes the block again from its start); qvsetup gives every file
// a member of its own, in record order, so that the engine only decodes
// forward. Each file's TFileRec.CompressedSize is its share of its
// block's compressed bytes, what the gauge advances by.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

extern const std::array<std::uint8_t, 4> kSolidMarker;  // "lzs" 0x1A

constexpr std::size_t kSolidHeaderFixedSize = 20;  // the marker up to the member table
constexpr std::size_t kSolidMemberEntrySize = 5;
// Uncompressed bytes the writer gathers into one block. A larger block
// would compress a little better, but every file after a skipped one or a
// restart costs the decoding of the block up to it.
constexpr std::uint64_t kSolidBlockTarget = 32u << 20;
// The dictionary bounds the reader's memory, whatever the block's size:
// a larger one is refused before anything is allocated. 26 stands for
// 32 MiB, the most the writer uses (never more than the block's bytes).
constexpr std::uint8_t kMaxSolidDictionaryProperty = 26;
// Enough for any block: a member is a file record's content, and a block
// of more members than records could not be reached.
constexpr std::uint32_t kMaxSolidMembers = 1u << 20;
constexpr std::uint32_t kMaxSolidStreamSize = 0x7FFFFFFF - (kSolidHeaderFixedSize + kSolidMemberEntrySize * kMaxSolidMembers);

constexpr std::uint8_t kSolidMemberX86 = 1 << 0;

// The dictionary size that an LZMA2 property byte stands for.
constexpr std::uint64_t SolidDictionarySize(std::uint8_t property) {
    return property >= 40 ? 0xFFFFFFFFu : std::uint64_t{2u | (property & 1u)} << (property / 2 + 11);
}

struct SolidMember {
    std::uint32_t Size = 0;
    std::uint8_t Flags = 0;
};

// The header of one block, without its marker.
struct SolidBlockHeader {
    std::uint32_t CompressedSize = 0;
    std::uint8_t DictionaryProperty = 0;
    std::vector<SolidMember> Members;
};

// The header bytes from offset 4 on (checksum, counts, member table).
std::vector<std::uint8_t> EncodeSolidBlockHeader(const SolidBlockHeader& header);

}  // namespace qv
