#pragma once

// Windows 98 screen files (Logo.sys, Logow.sys, Logos.sys): the one bitmap
// layout its boot loader shows, written and checked here. Windows stretches
// the 320 x 400 picture over a 4:3 screen and can rotate a band of palette
// entries at the end of the palette while it boots.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::screen {

constexpr int kWidth = 320;
constexpr int kHeight = 400;
constexpr int kPaletteSize = 256;
constexpr std::size_t kPixelOffset = 14 + 40 + kPaletteSize * 4;
constexpr std::size_t kFileSize = kPixelOffset + std::size_t{kWidth} * kHeight;
// The low byte of biClrImportant: the first entry of the rotating band, which
// runs to entry 255; 0 keeps the picture still.
constexpr std::size_t kBandByteOffset = 0x32;

// 0x00RRGGBB, as a bitmap stores its palette (the top byte is not written).
using Palette = std::array<std::uint32_t, kPaletteSize>;

// The file for `pixels`, kWidth * kHeight palette indices with the top row
// first. `bandStart` 1-255 makes entries bandStart..255 rotate at boot.
// Throws std::invalid_argument when the pixels or the band do not fit.
std::string encode(std::span<const std::uint8_t> pixels, const Palette& palette, int bandStart);

struct Check {
    // What stops Windows 98 from showing the file, each with its numbers;
    // empty for a file it shows.
    std::vector<std::string> problems;
    // The first rotating palette entry, 0 for a still picture; -1 when the
    // header is too damaged to tell.
    int bandStart = -1;
    // How many bytes the file lacks for what its header says: a bitmap cut
    // short, whatever else it is.
    long long missingBytes = 0;

    bool fine() const { return problems.empty(); }
};

// Looks at a whole file's bytes.
Check check(std::string_view bytes);
// Looks at the start of a file of `fileSize` bytes; the headers are all it
// reads, so `head` need hold no more than its first 54 bytes.
Check check(std::string_view head, std::uint64_t fileSize);

// A bitmap whose header reads and whose pixels are all there, whatever its
// size and colours: what Windows can draw as it is. Qt's reader stops
// quietly at the end of a short file, so only the header tells.
bool isWholeBitmap(std::string_view bytes);

// How much of a file check() looks at.
constexpr std::size_t kHeadSize = 54;

// "a still picture" or "animates palette entries 236-255", for a report.
std::string describeBand(int bandStart);

}  // namespace zarvo::screen
