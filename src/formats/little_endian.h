#pragma once

// Numbers as the file formats here keep them: little-endian, as in FAT,
// BMP, ICO and WinHelp files (and big-endian only in a VHD's footer). The
// caller makes sure the bytes are there.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zarvo::bytes {

inline std::uint32_t le16(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
inline std::uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}
inline std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline std::uint32_t le16(std::string_view b, std::size_t at) {
    return le16(reinterpret_cast<const unsigned char*>(b.data() + at));
}
inline std::uint32_t le32(std::string_view b, std::size_t at) {
    return le32(reinterpret_cast<const unsigned char*>(b.data() + at));
}

inline void put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}
inline void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

}  // namespace zarvo::bytes
