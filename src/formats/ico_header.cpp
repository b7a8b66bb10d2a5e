#include "formats/ico_header.h"

#include "formats/dib_header.h"
#include "formats/little_endian.h"

namespace zarvo::ico {

namespace {

using bytes::le16;
using bytes::le32;

int side(std::string_view b, std::size_t at) {
    const int value = static_cast<std::uint8_t>(b[at]);
    return value == 0 ? 256 : value;
}

}  // namespace

bool startsAsDirectory(std::string_view head) {
    if (head.size() < kDirectoryStart || le16(head, 0) != 0 || le16(head, 4) == 0) return false;
    const std::uint32_t type = le16(head, 2);
    return type == static_cast<std::uint16_t>(Type::Icon) ||
           type == static_cast<std::uint16_t>(Type::Cursor);
}

std::optional<Header> readHeader(std::string_view bytes) {
    if (!startsAsDirectory(bytes)) return std::nullopt;
    const std::uint16_t type = static_cast<std::uint16_t>(le16(bytes, 2));
    const std::size_t count = le16(bytes, 4);
    if ((bytes.size() - kDirectoryStart) / kEntrySize < count) return std::nullopt;

    Header header;
    header.type = static_cast<Type>(type);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kDirectoryStart + i * kEntrySize;
        Entry entry;
        entry.width = side(bytes, at);
        entry.height = side(bytes, at + 1);
        entry.colours = static_cast<std::uint8_t>(bytes[at + 2]);
        entry.planesOrHotspotX = le16(bytes, at + 4);
        entry.bitCountOrHotspotY = le16(bytes, at + 6);
        entry.size = le32(bytes, at + 8);
        entry.offset = le32(bytes, at + 12);
        header.entries.push_back(entry);
    }
    return header;
}

std::optional<int> imageBitCount(std::string_view bytes, const Entry& entry) {
    if (entry.offset > bytes.size()) return std::nullopt;
    const std::string_view image = bytes.substr(entry.offset);
    if (image.starts_with(dib::kPngSignature)) return 32;
    if (const auto header = dib::readHeader(image)) return header->bitCount;
    return std::nullopt;
}

}  // namespace zarvo::ico
