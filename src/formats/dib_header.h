#pragma once

// The device-independent bitmap header that a BMP file carries after its
// 14-byte file header and an icon carries before each image's pixels:
// OS/2's 12-byte core header, or Windows' 40-byte one (whose longer
// successors start with the same 40 bytes).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zarvo::dib {

inline constexpr std::uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
inline constexpr std::uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
inline constexpr std::uint32_t kRgb = 0;              // uncompressed
inline constexpr std::uint32_t kBitFields = 3;        // uncompressed, with colour masks
inline constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";

struct Header {
    std::uint32_t size = kInfoHeaderSize;  // of the header itself
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative for rows stored top to bottom
    int planes = 1;
    int bitCount = 0;
    // The fields below are the 40-byte header's; a core header has none.
    std::uint32_t compression = kRgb;
    std::uint32_t imageSize = 0;  // of the pixels; may be 0 when uncompressed
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;
};

// The header at the start of `bytes`; nullopt for one of another size or
// one cut short.
std::optional<Header> readHeader(std::string_view bytes);

// Appends `header` as a 40-byte header, with no resolution.
void putInfoHeader(std::string& out, const Header& header);

// Appends the colours (0xRRGGBB) as a palette: blue, green, red and a zero
// for each.
void putPalette(std::string& out, std::span<const std::uint32_t> colours);

}  // namespace zarvo::dib
