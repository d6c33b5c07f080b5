// The checksum of the journal's header parts and frames. Internal to the
// journal's code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::journal {

// zlib's crc32 of the bytes.
std::uint32_t Checksum(const std::uint8_t* data, std::size_t size);

}  // namespace qv::journal
