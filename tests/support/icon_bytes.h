#pragma once

// Icon and cursor files of the kinds Windows 98 cannot show, put together
// byte by byte as newer tools write them: PNG-compressed images, and 32-bit
// images whose transparency is in the alpha channel alone.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/little_endian.h"

namespace zarvo::test {

struct IconImageBytes {
    int width = 0;
    int height = 0;
    int bitCount = 32;
    std::string bytes;  // a PNG file or a bitmap without its file header
};

// The directory and the images. A cursor's hotspot is 0, 0.
inline std::string iconFileOf(const std::vector<IconImageBytes>& images, int type = 1) {
    std::string out;
    bytes::put16(out, 0);
    bytes::put16(out, std::uint32_t(type));
    bytes::put16(out, std::uint32_t(images.size()));
    std::string data;
    for (const IconImageBytes& image : images) {
        out += char(image.width & 0xff);
        out += char(image.height & 0xff);
        out += std::string(2, '\0');
        bytes::put16(out, type == 1 ? 1 : 0);
        bytes::put16(out, type == 1 ? std::uint32_t(image.bitCount) : 0);
        bytes::put32(out, std::uint32_t(image.bytes.size()));
        bytes::put32(out, std::uint32_t(6 + 16 * images.size() + data.size()));
        data += image.bytes;
    }
    return out + data;
}

// A 32-bit image of 0xAARRGGBB pixels, top row first, whose AND mask marks
// the pixels `masked` says (none when it is empty).
inline IconImageBytes argbImage(int width, int height, const std::vector<std::uint32_t>& pixels,
                                const std::vector<bool>& masked = {}) {
    IconImageBytes image{width, height, 32, {}};
    std::string& b = image.bytes;
    const int maskStride = (width + 31) / 32 * 4;
    for (std::uint32_t value : {40u, std::uint32_t(width), std::uint32_t(height * 2)})
        bytes::put32(b, value);
    bytes::put16(b, 1);
    bytes::put16(b, 32);
    b.append(24, '\0');
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) bytes::put32(b, pixels[std::size_t(y * width + x)]);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(std::size_t(maskStride), '\0');
        for (int x = 0; x < width; ++x)
            if (!masked.empty() && masked[std::size_t(y * width + x)])
                row[std::size_t(x / 8)] = char(row[std::size_t(x / 8)] | 0x80 >> (x % 8));
        b += row;
    }
    return image;
}

// A disc of `colour` on transparent pixels (0), edge to edge.
inline std::vector<std::uint32_t> discPixels(int side, std::uint32_t colour) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double dx = x + 0.5 - side / 2.0, dy = y + 0.5 - side / 2.0;
            pixels.push_back(dx * dx + dy * dy < side * side / 4.0 ? colour : 0);
        }
    return pixels;
}

}  // namespace zarvo::test
