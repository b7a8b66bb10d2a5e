#include "formats/screen_file.h"

#include <cstdlib>
#include <stdexcept>

#include "formats/dib_header.h"
#include "formats/little_endian.h"

namespace zarvo::screen {
namespace {

using bytes::le32;
using bytes::put32;
using dib::kInfoHeaderSize;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kOs2HeaderSize = dib::kCoreHeaderSize;

// 129078 -> "129,078": byte counts are read by people here.
std::string grouped(long long value) {
    // Appended digit by digit: GCC 12 at -O3 takes an insert into the
    // string for an overlapping copy (-Wrestrict).
    const std::string digits = std::to_string(std::llabs(value));
    std::string out;
    if (value < 0) out += '-';
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string bytesText(long long count) {
    return grouped(count) + (count == 1 ? " byte" : " bytes");
}

const char* const kTimes = " \u00d7 ";

std::string compressionProblem(std::uint32_t compression) {
    switch (compression) {
        case 1:
        case 2:
            return "RLE-compressed, must be uncompressed";
        case 3:
        case 6:
            return "stored with bit-field colour masks, must be uncompressed";
        case 4:
            return "JPEG-compressed, must be uncompressed";
        case 5:
            return "PNG-compressed, must be uncompressed";
        default:
            return "compression type " + std::to_string(compression) + ", must be uncompressed";
    }
}

}  // namespace

std::string encode(std::span<const std::uint8_t> pixels, const Palette& palette, int bandStart) {
    if (pixels.size() != std::size_t{kWidth} * kHeight)
        throw std::invalid_argument("a screen picture is 320 x 400 pixels");
    if (bandStart < 0 || bandStart >= kPaletteSize)
        throw std::invalid_argument("the band starts at a palette entry");
    std::string out;
    out.reserve(kFileSize);
    out += "BM";
    put32(out, static_cast<std::uint32_t>(kFileSize));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(kPixelOffset));
    dib::Header header;
    header.width = kWidth;
    header.height = kHeight;  // positive: rows bottom-up, the only order the loader knows
    header.bitCount = 8;
    header.imageSize = static_cast<std::uint32_t>(kFileSize - kPixelOffset);
    header.coloursUsed = kPaletteSize;
    // Where the band starts: Windows reads the important-colours field so.
    header.coloursImportant = static_cast<std::uint32_t>(bandStart);
    dib::putInfoHeader(out, header);
    dib::putPalette(out, palette);
    // 320 is a multiple of 4, so the rows need no padding.
    for (int y = kHeight - 1; y >= 0; --y) {
        const auto row = pixels.subspan(std::size_t(y) * kWidth, kWidth);
        out.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return out;
}

Check check(std::string_view bytes) {
    return check(bytes, bytes.size());
}

Check check(std::string_view bytes, std::uint64_t fileSize) {
    Check result;
    auto& problems = result.problems;
    if (bytes.size() < 2 || bytes.substr(0, 2) != "BM") {
        problems.push_back("not a bitmap");
        return result;
    }
    const auto size = static_cast<long long>(fileSize);
    bytes = bytes.substr(0, static_cast<std::size_t>(std::min<long long>(size, kHeadSize)));
    if (bytes.size() < kFileHeaderSize + 4) {
        problems.push_back("file ends inside its bitmap header, after " + bytesText(size));
        return result;
    }
    const std::uint32_t pixelOffset = le32(bytes, 10);
    const std::uint32_t headerSize = le32(bytes, kFileHeaderSize);
    const bool os2 = headerSize == kOs2HeaderSize;
    if (!os2 && headerSize < kInfoHeaderSize) {
        problems.push_back("unknown " + bytesText(headerSize) + " bitmap header");
        return result;
    }
    const std::size_t headerEnd = kFileHeaderSize + (os2 ? kOs2HeaderSize : kInfoHeaderSize);
    if (bytes.size() < headerEnd) {
        problems.push_back("file ends inside its bitmap header, after " + bytesText(size));
        return result;
    }

    const dib::Header header = *dib::readHeader(bytes.substr(kFileHeaderSize));
    const long long width = header.width;
    const long long height = header.height;
    const std::uint32_t planes = std::uint32_t(header.planes);
    const std::uint32_t bits = std::uint32_t(header.bitCount);
    const std::uint32_t compression = header.compression;
    const std::uint32_t storedSize = header.imageSize;
    const std::uint32_t coloursUsed = header.coloursUsed;
    if (os2) {
        result.bandStart = 0;  // the old header has no field to start a band
        problems.push_back("OS/2 bitmap header, must be the 40-byte Windows header");
    } else {
        result.bandStart = static_cast<std::uint8_t>(header.coloursImportant);
        if (headerSize != kInfoHeaderSize)
            problems.push_back(bytesText(headerSize) + " bitmap header, must be the 40-byte one");
    }

    if (width != kWidth || std::llabs(height) != kHeight)
        problems.push_back(grouped(width) + kTimes + grouped(std::llabs(height)) + ", must be " +
                           std::to_string(kWidth) + kTimes + std::to_string(kHeight));
    if (height < 0) problems.push_back("rows stored top to bottom, must be bottom to top");
    if (planes != 1) problems.push_back(std::to_string(planes) + " colour planes, must be 1");
    if (bits != 8) problems.push_back(std::to_string(bits) + " bits per pixel, must be 8");
    if (compression != 0) problems.push_back(compressionProblem(compression));
    if (bits == 8 && coloursUsed != 0 && coloursUsed != kPaletteSize)
        problems.push_back(std::to_string(coloursUsed) + "-colour palette, must be 256 colours");

    const bool layoutRight = problems.empty();
    if (layoutRight && pixelOffset != kPixelOffset)
        problems.push_back("pixels start at byte " + grouped(pixelOffset) + ", must start at " +
                           grouped(kPixelOffset));

    // Where the header says the file ends; a compressed file that does not
    // give its stored size cannot tell.
    long long expectedEnd = -1;
    if (compression == 0 || compression == 3 || compression == 6) {
        const long long stride = (std::llabs(width) * bits + 31) / 32 * 4;
        expectedEnd = pixelOffset + stride * std::llabs(height);
    } else if (storedSize != 0) {
        expectedEnd = static_cast<long long>(pixelOffset) + storedSize;
    }
    if (expectedEnd >= 0 && size < expectedEnd) result.missingBytes = expectedEnd - size;
    if (result.missingBytes > 0)
        problems.push_back("file is " + bytesText(result.missingBytes) +
                           " shorter than its header says");
    else if (expectedEnd >= 0 && size > expectedEnd)
        problems.push_back("file is " + bytesText(size - expectedEnd) +
                           " longer than its header says");
    return result;
}

bool isWholeBitmap(std::string_view bytes) {
    const Check found = check(bytes);
    return found.bandStart != -1 && found.missingBytes == 0;
}

std::string describeBand(int bandStart) {
    if (bandStart < 0) return "animation unknown";
    if (bandStart == 0) return "a still picture";
    if (bandStart == kPaletteSize - 1)
        return "rotates palette entry 255 alone, which does not move";
    return "animates palette entries " + std::to_string(bandStart) + "\u2013255";
}

}  // namespace zarvo::screen
