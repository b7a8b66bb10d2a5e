#include "formats/ico_writer.h"

#include <stdexcept>

#include "formats/dib_header.h"
#include "formats/ico_header.h"
#include "formats/little_endian.h"

namespace zarvo::ico {
namespace {

using bytes::put16;
using bytes::put32;

// Bottom-up rows of `bits` per pixel, each padded to 4 bytes.
std::string packedRows(int width, int height, int bits, auto valueAt) {
    const std::size_t stride = std::size_t(width * bits + 31) / 32 * 4;
    std::string rows(stride * std::size_t(height), '\0');
    for (int y = 0; y < height; ++y) {
        char* row = rows.data() + std::size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const int bit = x * bits;
            const int shift = 8 - bits - bit % 8;
            row[bit / 8] = static_cast<char>(row[bit / 8] | valueAt(x, y) << shift);
        }
    }
    return rows;
}

std::string imageBytes(const IndexedImage& image) {
    const int bits = image.bitCount;
    const int w = image.width;
    const int h = image.height;
    const std::size_t pixels = std::size_t(w) * std::size_t(h);
    if ((bits != 1 && bits != 4 && bits != 8) || w < 1 || w > 256 || h < 1 || h > 256 ||
        image.palette.size() > (1u << bits) || image.indices.size() != pixels ||
        image.transparent.size() != pixels)
        throw std::invalid_argument("an icon image that does not fit its description");
    for (std::uint8_t index : image.indices)
        if (index >= (1u << bits)) throw std::invalid_argument("a palette index past the depth");

    const auto at = [w](int x, int y) { return std::size_t(y) * std::size_t(w) + std::size_t(x); };
    const std::string colours =
        packedRows(w, h, bits, [&](int x, int y) { return image.indices[at(x, y)]; });
    const std::string mask =
        packedRows(w, h, 1, [&](int x, int y) { return image.transparent[at(x, y)] ? 1 : 0; });

    dib::Header header;
    header.width = w;
    header.height = h * 2;  // the colour rows and the mask rows
    header.bitCount = bits;
    header.imageSize = static_cast<std::uint32_t>(colours.size() + mask.size());
    std::string out;
    dib::putInfoHeader(out, header);
    // The whole palette, as Windows 98 expects it (no count of colours used).
    std::vector<std::uint32_t> palette = image.palette;
    palette.resize(std::size_t{1} << bits, 0);
    dib::putPalette(out, palette);
    return out + colours + mask;
}

}  // namespace

std::string encodeIcon(std::span<const IndexedImage> images) {
    if (images.empty() || images.size() > 0xffff)
        throw std::invalid_argument("an icon holds 1 to 65535 images");
    std::string out;
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(Type::Icon));
    put16(out, static_cast<std::uint32_t>(images.size()));
    std::string data;
    auto offset = static_cast<std::uint32_t>(kDirectoryStart + kEntrySize * images.size());
    for (const IndexedImage& image : images) {
        const std::string bytes = imageBytes(image);
        out += static_cast<char>(image.width & 0xff);  // 256 is 0
        out += static_cast<char>(image.height & 0xff);
        out += static_cast<char>(image.bitCount < 8 ? 1 << image.bitCount : 0);
        out += '\0';
        put16(out, 1);  // planes
        put16(out, static_cast<std::uint32_t>(image.bitCount));
        put32(out, static_cast<std::uint32_t>(bytes.size()));
        put32(out, offset + static_cast<std::uint32_t>(data.size()));
        data += bytes;
    }
    return out + data;
}

}  // namespace zarvo::ico
