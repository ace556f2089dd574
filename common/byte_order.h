// Little-endian loads and stores at any byte offset: the log format packs
// fields without alignment, and the host's own byte order must not leak in.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarvex {

inline std::uint16_t load_le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t load_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t load_le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(load_le32(p)) | (static_cast<std::uint64_t>(load_le32(p + 4)) << 32);
}

inline std::int16_t load_le_i16(const std::uint8_t* p) { return static_cast<std::int16_t>(load_le16(p)); }
inline std::int32_t load_le_i32(const std::uint8_t* p) { return static_cast<std::int32_t>(load_le32(p)); }

// The field of T (an unsigned type of 2 or 4 bytes) at byte OFFSET of a
// record that starts at a multiple of 4 bytes (ALIGNED) or anywhere. Where
// the host is little-endian and the field lies at a multiple of 2 bytes of
// an aligned record, it takes one or two loads: the camera's processor has
// no unaligned access, and byte by byte a 32-bit field is seven instructions.
template <class T, std::size_t OFFSET, bool ALIGNED>
inline T load_le_field(const std::uint8_t* record) {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    if constexpr (ALIGNED && std::endian::native == std::endian::little && OFFSET % 2 == 0) {
        const auto* base = static_cast<const std::uint8_t*>(__builtin_assume_aligned(record, 4));
        if constexpr (sizeof(T) == 4 && OFFSET % 4 != 0) {
            std::uint16_t low, high;
            std::memcpy(&low, base + OFFSET, 2);
            std::memcpy(&high, base + OFFSET + 2, 2);
            return static_cast<T>(low | (static_cast<std::uint32_t>(high) << 16));
        } else {
            T v;
            std::memcpy(&v, base + OFFSET, sizeof v);
            return v;
        }
    } else if constexpr (sizeof(T) == 2) {
        return load_le16(record + OFFSET);
    } else {
        return load_le32(record + OFFSET);
    }
}

inline void store_le16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void store_le32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void store_le64(std::uint8_t* p, std::uint64_t v) {
    store_le32(p, static_cast<std::uint32_t>(v));
    store_le32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// The store counterpart of load_le_field.
template <class T, std::size_t OFFSET, bool ALIGNED>
inline void store_le_field(std::uint8_t* record, T v) {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    if constexpr (ALIGNED && std::endian::native == std::endian::little && OFFSET % 2 == 0) {
        auto* base = static_cast<std::uint8_t*>(__builtin_assume_aligned(record, 4));
        if constexpr (sizeof(T) == 4 && OFFSET % 4 != 0) {
            const auto low = static_cast<std::uint16_t>(v);
            const auto high = static_cast<std::uint16_t>(v >> 16);
            std::memcpy(base + OFFSET, &low, 2);
            std::memcpy(base + OFFSET + 2, &high, 2);
        } else {
            std::memcpy(base + OFFSET, &v, sizeof v);
        }
    } else if constexpr (sizeof(T) == 2) {
        store_le16(record + OFFSET, v);
    } else {
        store_le32(record + OFFSET, v);
    }
}

}  // namespace tarvex
