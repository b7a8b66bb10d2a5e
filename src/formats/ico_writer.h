#pragma once

// Icon files as Windows 98 reads them: every image an uncompressed palette
// bitmap with an AND mask, which marks the pixels that show what lies
// behind the icon.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zarvo::ico {

struct IndexedImage {
    int width = 0;     // 1-256
    int height = 0;    // 1-256
    int bitCount = 8;  // 1, 4 or 8
    // 0x00RRGGBB, at most 1 << bitCount entries; the rest of the palette is black.
    std::vector<std::uint32_t> palette;
    // One palette index per pixel, top row first.
    std::vector<std::uint8_t> indices;
    // One byte per pixel, nonzero where the mask is set. Windows XORs such
    // a pixel's colour onto the screen, so it should be black.
    std::vector<std::uint8_t> transparent;
};

// The .ico file holding `images` in this order. Throws
// std::invalid_argument for an image that does not fit its description.
std::string encodeIcon(std::span<const IndexedImage> images);

}  // namespace zarvo::ico
