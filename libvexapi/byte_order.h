// Byte order of the instrument: every multi-byte value on the wire is big-endian.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vexapi {

inline void Reverse2(std::uint8_t* p) { std::swap(p[0], p[1]); }
inline void Reverse4(std::uint8_t* p)
{
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}
inline void Reverse8(std::uint8_t* p)
{
    std::reverse(p, p + 8);
}

inline std::uint16_t GetBe16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline std::uint32_t GetBe32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
inline void PutBe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void PutBe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
inline float GetBeFloat(const std::uint8_t* p)
{
    const std::uint32_t bits = GetBe32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
inline void PutBeFloat(std::uint8_t* p, float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutBe32(p, bits);
}

}  // namespace vexapi
