#include "formats/ico_judge.h"

#include <algorithm>
#include <cstdint>

#include "formats/dib_header.h"
#include "formats/little_endian.h"

namespace zarvo::ico {
namespace {

using bytes::be32;
using dib::kBitFields;
using dib::kRgb;
// Far beyond any icon; keeps the sums below from overflowing.
constexpr std::int64_t kMostSide = 1 << 16;

// What one image is to Windows 98.
struct Image {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool png = false;
    bool readable = false;
    bool alphaOverEmptyMask = false;
};

// What the directory says of an image, until its own header says more.
Image entryImage(const Entry& entry) {
    Image image;
    image.width = entry.width;
    image.height = entry.height;
    return image;
}

// A PNG's own size is in its IHDR chunk.
Image pngImage(std::string_view image, const Entry& entry) {
    Image png = entryImage(entry);
    png.bitCount = 32;
    png.png = true;
    constexpr std::size_t kIhdrEnd = 24;
    if (image.size() >= kIhdrEnd) {
        const auto* p = reinterpret_cast<const unsigned char*>(image.data());
        png.width = static_cast<int>(std::min<std::uint32_t>(be32(p + 16), kMostSide));
        png.height = static_cast<int>(std::min<std::uint32_t>(be32(p + 20), kMostSide));
    }
    return png;
}

// Whether a 32-bit image draws, for Windows XP, transparent pixels that the
// mask leaves for Windows 98 to draw in their colour. An alpha channel of
// zeros throughout is none at all, as XP reads it: the mask alone counts.
bool alphaOverEmptyMask(std::string_view pixels, std::string_view mask, std::int64_t width,
                        std::int64_t height) {
    const std::int64_t pixelStride = width * 4;
    const std::int64_t maskStride = (width + 31) / 32 * 4;
    bool anyAlpha = false;
    bool unmarked = false;
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::int64_t x = 0; x < width; ++x) {
            const auto alpha =
                static_cast<std::uint8_t>(pixels[std::size_t(y * pixelStride + x * 4 + 3)]);
            const auto maskByte =
                static_cast<std::uint8_t>(mask[std::size_t(y * maskStride + x / 8)]);
            const bool marked = (maskByte >> (7 - x % 8)) & 1;
            anyAlpha |= alpha != 0;
            unmarked |= alpha < 255 && !marked;
        }
    }
    return anyAlpha && unmarked;
}

Image dibImage(std::string_view image, const Entry& entry) {
    Image result = entryImage(entry);
    const auto header = dib::readHeader(image);
    if (!header) return result;
    const std::uint32_t headerSize = header->size;
    const std::int64_t width = header->width;
    const std::int64_t doubleHeight = header->height;
    const std::uint32_t compression = header->compression;
    result.bitCount = header->bitCount;
    std::int64_t paletteBytes = 0;
    if (headerSize == dib::kCoreHeaderSize) {
        if (result.bitCount <= 8) paletteBytes = 3 * (std::int64_t{1} << result.bitCount);
    } else {
        const std::uint32_t used = header->coloursUsed;
        if (result.bitCount <= 8)
            paletteBytes = 4 * (used != 0 && used < (1u << result.bitCount)
                                    ? std::int64_t{used}
                                    : std::int64_t{1} << result.bitCount);
        if (compression == kBitFields && headerSize == dib::kInfoHeaderSize) paletteBytes = 12;
    }
    // The height counts the colour rows and the mask rows together.
    const std::int64_t height = doubleHeight / 2;
    if (width <= 0 || height <= 0 || width > kMostSide || height > kMostSide) return result;
    result.width = static_cast<int>(width);
    result.height = static_cast<int>(height);

    const int bits = result.bitCount;
    const bool knownDepth =
        bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const bool uncompressed =
        compression == kRgb || (compression == kBitFields && (bits == 16 || bits == 32));
    if (!knownDepth || !uncompressed) return result;
    const std::int64_t pixelStart = headerSize + paletteBytes;
    const std::int64_t pixelBytes = (width * bits + 31) / 32 * 4 * height;
    const std::int64_t maskBytes = (width + 31) / 32 * 4 * height;
    if (pixelStart + pixelBytes + maskBytes > std::int64_t(image.size())) return result;
    result.readable = true;
    // Bit fields name no alpha in a 40-byte header, so only plain 32-bit
    // pixels can carry one.
    if (bits == 32 && compression == kRgb)
        result.alphaOverEmptyMask =
            alphaOverEmptyMask(image.substr(std::size_t(pixelStart), std::size_t(pixelBytes)),
                               image.substr(std::size_t(pixelStart + pixelBytes)), width, height);
    return result;
}

Image imageOf(std::string_view bytes, const Entry& entry) {
    if (entry.offset >= bytes.size()) return entryImage(entry);
    // Windows reads no further than the entry says, nor past the file's end.
    const std::string_view image = bytes.substr(entry.offset, entry.size);
    if (image.starts_with(dib::kPngSignature)) return pngImage(image, entry);
    return dibImage(image, entry);
}

bool small(const Image& image) {
    return image.width <= kLargestShown && image.height <= kLargestShown;
}

}  // namespace

std::optional<Judgement> judge(std::string_view bytes) {
    const std::optional<Header> header = readHeader(bytes);
    if (!header) return std::nullopt;
    Judgement judgement;
    judgement.type = header->type;
    std::vector<Problem> problems;
    bool anySmall = false;
    for (const Entry& entry : header->entries) {
        const Image image = imageOf(bytes, entry);
        anySmall |= small(image);
        auto problem = [&](Problem::Kind kind) {
            problems.push_back({kind, image.width, image.height, image.bitCount});
        };
        if (image.png)
            problem(Problem::Kind::PngImage);
        else if (!image.readable)
            problem(Problem::Kind::DamagedImage);
        else if (image.alphaOverEmptyMask)
            problem(Problem::Kind::AlphaOverEmptyMask);
        else if (small(image))
            judgement.shown.push_back({image.width, image.height});
    }
    if (!anySmall) problems.push_back({Problem::Kind::NoSmallImage, 0, 0, 0});
    // An image it shows is all it needs; the others it passes over.
    if (judgement.shown.empty()) judgement.problems = std::move(problems);
    auto& shown = judgement.shown;
    std::sort(shown.begin(), shown.end(), [](const Size& a, const Size& b) {
        return std::pair(a.width, a.height) < std::pair(b.width, b.height);
    });
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    return judgement;
}

}  // namespace zarvo::ico
