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

// A 32-bit image's pixels, counted by what Windows XP and Windows 98 make
// of them.
struct MaskFit {
    // An alpha channel of zeros throughout is none at all, as XP reads it:
    // the mask alone counts, for both.
    bool alpha = false;
    int transparent = 0;  // alpha 0
    int transparentMarked = 0;
    // Less than half opaque and unmarked: drawn at full strength.
    int faintUnmarked = 0;
    // More opaque than not, yet not wholly, and unmarked: drawn at full
    // strength as well, which one bit of mask cannot better.
    int softUnmarked = 0;
    // Marked, of a colour XORed onto what lies behind.
    int colouredMarked = 0;
};

// What one image is to Windows 98.
struct Image {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool png = false;
    bool readable = false;
    MaskFit fit;
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

// How a 32-bit image's mask agrees with its alpha channel, in pixels.
MaskFit maskFit(std::string_view pixels, std::string_view mask, std::int64_t width,
                std::int64_t height) {
    const std::int64_t pixelStride = width * 4;
    const std::int64_t maskStride = (width + 31) / 32 * 4;
    MaskFit fit;
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::int64_t x = 0; x < width; ++x) {
            const auto* pixel =
                reinterpret_cast<const unsigned char*>(pixels.data() + y * pixelStride + x * 4);
            const int alpha = pixel[3];
            const auto maskByte =
                static_cast<std::uint8_t>(mask[std::size_t(y * maskStride + x / 8)]);
            const bool marked = (maskByte >> (7 - x % 8)) & 1;
            const bool black = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
            fit.alpha |= alpha != 0;
            fit.transparent += alpha == 0;
            fit.transparentMarked += alpha == 0 && marked;
            fit.faintUnmarked += alpha != 0 && alpha < kHalfOpaque && !marked;
            fit.softUnmarked += alpha >= kHalfOpaque && alpha < 255 && !marked;
            fit.colouredMarked += marked && !black;
        }
    }
    return fit;
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
        result.fit = maskFit(image.substr(std::size_t(pixelStart), std::size_t(pixelBytes)),
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

bool Judgement::shownBadly() const {
    return std::any_of(problems.begin(), problems.end(), [](const Problem& problem) {
        using enum Problem::Kind;
        const bool drawn = problem.kind == AlphaOverEmptyMask ||
                           problem.kind == TransparentOutsideMask ||
                           problem.kind == SoftEdgesOutsideMask || problem.kind == ColourUnderMask;
        return drawn && problem.width <= kLargestShown && problem.height <= kLargestShown;
    });
}

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
        auto problem = [&](Problem::Kind kind, int pixels = 0) {
            problems.push_back({kind, image.width, image.height, image.bitCount, pixels});
        };
        if (image.png) {
            problem(Problem::Kind::PngImage);
            continue;
        }
        if (!image.readable) {
            problem(Problem::Kind::DamagedImage);
            continue;
        }
        const std::size_t before = problems.size();
        const MaskFit& fit = image.fit;
        if (fit.alpha) {
            if (fit.transparent > 0 && fit.transparentMarked == 0)
                problem(Problem::Kind::AlphaOverEmptyMask, fit.transparent);
            else if (fit.transparentMarked < fit.transparent)
                problem(Problem::Kind::TransparentOutsideMask,
                        fit.transparent - fit.transparentMarked);
            if (fit.faintUnmarked > 0)
                problem(Problem::Kind::SoftEdgesOutsideMask, fit.faintUnmarked);
            if (fit.colouredMarked > 0) problem(Problem::Kind::ColourUnderMask, fit.colouredMarked);
        }
        if (problems.size() == before && small(image)) {
            judgement.shown.push_back({image.width, image.height});
            judgement.hardEdges |= fit.alpha && fit.softUnmarked > 0;
        }
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
