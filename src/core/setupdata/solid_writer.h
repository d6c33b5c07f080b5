// Writes solid blocks (solid_blocks.h): the members' contents filtered
// (executables through the x86 branch filter) and compressed together
// into one LZMA2 stream, with the header in front.
//
// Kept apart from the reader so that a program that only reads (Setup.exe)
// links no encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/io/streams.h"

namespace qv {

// Whether `head` (the first bytes of a file) begins a PE image for x86 or
// x86-64, whose code the x86 branch filter makes more alike.
bool IsX86Executable(const std::uint8_t* head, std::size_t size);

// Opens one member's contents; called once per member, in order.
using SolidMemberOpener = std::function<std::unique_ptr<InStream>()>;

struct EncodedSolidBlock {
    // The block from its header checksum on (the marker is the data
    // writer's to place): header, member table, LZMA2 stream.
    std::vector<std::uint8_t> Bytes;
    // Per member, of the bytes read.
    std::vector<std::uint32_t> Sizes;
    std::vector<std::uint32_t> Adler32s;
    std::uint32_t StreamSize = 0;  // the LZMA2 stream alone
};

// Encodes the members at LZMA `level` (0-9) with a dictionary of at most
// 32 MiB and no larger than `expectedSize` (the members' total as
// measured, which only sets the dictionary). `onRead` hears each piece of
// bytes read. The members' exceptions pass unchanged; a member of 2 GiB or
// more, or a stream larger than a block may hold, raises Exception.
// Memory: the encoder's match finder, about 11 times the dictionary.
EncodedSolidBlock EncodeSolidBlock(const std::vector<SolidMemberOpener>& members, int level,
                                   std::uint64_t expectedSize,
                                   const std::function<void(std::size_t)>& onRead = {});

}  // namespace qv
