// Little-endian field access on byte spans: every on-disk format is read and
// written field by field through these, never by overlaying a struct.
#pragma once

#include <cstdint>

namespace qv {

inline std::uint32_t GetUi32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
inline std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetUi32(p)); }
inline std::uint16_t GetUi16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint64_t GetUi64(const std::uint8_t* p) {
    return std::uint64_t{GetUi32(p)} | std::uint64_t{GetUi32(p + 4)} << 32;
}

inline void SetUi32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void SetI32(std::uint8_t* p, std::int32_t v) { SetUi32(p, static_cast<std::uint32_t>(v)); }
inline void SetUi16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void SetUi64(std::uint8_t* p, std::uint64_t v) {
    SetUi32(p, static_cast<std::uint32_t>(v));
    SetUi32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace qv
