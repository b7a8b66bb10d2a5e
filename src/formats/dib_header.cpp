#include "formats/dib_header.h"

#include "formats/little_endian.h"

namespace zarvo::dib {

using bytes::le16;
using bytes::le32;
using bytes::put16;
using bytes::put32;

std::optional<Header> readHeader(std::string_view bytes) {
    if (bytes.size() < 4) return std::nullopt;
    Header header;
    header.size = le32(bytes, 0);
    if (header.size == kCoreHeaderSize && bytes.size() >= kCoreHeaderSize) {
        header.width = le16(bytes, 4);
        header.height = le16(bytes, 6);
        header.planes = int(le16(bytes, 8));
        header.bitCount = int(le16(bytes, 10));
        return header;
    }
    if (header.size < kInfoHeaderSize || bytes.size() < kInfoHeaderSize) return std::nullopt;
    header.width = static_cast<std::int32_t>(le32(bytes, 4));
    header.height = static_cast<std::int32_t>(le32(bytes, 8));
    header.planes = int(le16(bytes, 12));
    header.bitCount = int(le16(bytes, 14));
    header.compression = le32(bytes, 16);
    header.imageSize = le32(bytes, 20);
    header.coloursUsed = le32(bytes, 32);
    header.coloursImportant = le32(bytes, 36);
    return header;
}

void putInfoHeader(std::string& out, const Header& header) {
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(header.width));
    put32(out, static_cast<std::uint32_t>(header.height));
    put16(out, static_cast<std::uint32_t>(header.planes));
    put16(out, static_cast<std::uint32_t>(header.bitCount));
    put32(out, header.compression);
    put32(out, header.imageSize);
    put32(out, 0);  // pixels per metre, across
    put32(out, 0);  // and down
    put32(out, header.coloursUsed);
    put32(out, header.coloursImportant);
}

void putPalette(std::string& out, std::span<const std::uint32_t> colours) {
    for (const std::uint32_t colour : colours) put32(out, colour & 0xffffffu);
}

}  // namespace zarvo::dib
