// SHA-256 (FIPS 180-4), small and portable: the digest that deployment
// tools compare a downloaded program with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/io/streams.h"

namespace qv {

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    void Update(const void* data, std::size_t size);
    // The digest of everything given; the object is spent afterwards.
    Digest Finish();

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

// The digest in 64 hexadecimal digits, upper case as winget writes it.
std::string HexDigest(const Sha256::Digest& digest);
// The SHA-256 of a stream's bytes from its start to its end.
Sha256::Digest Sha256OfStream(InStream& stream);

}  // namespace qv
