#include "formats/ico_judge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "formats/ico_writer.h"
#include "support/icon_bytes.h"

namespace zarvo::ico {
namespace {

using test::argbImage;
using test::discPixels;
using test::iconFileOf;
using test::IconImageBytes;
using Kind = Problem::Kind;

// As much of a PNG as tells its size; Windows 98 reads none of it.
IconImageBytes pngImage(int side) {
    std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (int shift : {24, 16, 8, 0, 24, 16, 8, 0}) png += char(side >> shift & 0xff);
    return {side, side, 32, png + std::string(5, '\0')};
}

std::vector<Problem> problemsOf(const std::string& file) {
    const auto judgement = judge(file);
    EXPECT_TRUE(judgement);
    return judgement ? judgement->problems : std::vector<Problem>{};
}

TEST(IcoJudge, NamesEveryReasonWindows98CannotShowAFile) {
    const std::uint32_t red = 0xffcc2020;
    const IconImageBytes opaqueLarge = argbImage(64, 64, std::vector<std::uint32_t>(64 * 64, red));
    EXPECT_EQ(
        problemsOf(iconFileOf({pngImage(256)})),
        (std::vector<Problem>{{Kind::PngImage, 256, 256, 32}, {Kind::NoSmallImage, 0, 0, 0}}));
    EXPECT_EQ(problemsOf(iconFileOf({pngImage(32), opaqueLarge})),
              (std::vector<Problem>{{Kind::PngImage, 32, 32, 32}}));
    const std::vector<std::uint32_t> disc = discPixels(16, red);
    EXPECT_EQ(problemsOf(iconFileOf({argbImage(16, 16, disc)})),
              (std::vector<Problem>{{Kind::AlphaOverEmptyMask, 16, 16, 32,
                                     int(std::count(disc.begin(), disc.end(), 0u))}}));

    EXPECT_EQ(problemsOf(iconFileOf({opaqueLarge})),
              (std::vector<Problem>{{Kind::NoSmallImage, 0, 0, 0}}));
    std::string cut = iconFileOf({argbImage(32, 32, discPixels(32, red))});
    cut.resize(cut.size() - 10);
    EXPECT_EQ(problemsOf(cut), (std::vector<Problem>{{Kind::DamagedImage, 32, 32, 32}}));

    EXPECT_FALSE(judge("BM\x36\0\0\0"));
    EXPECT_FALSE(judge(std::string("\0\0\1\0\2\0", 6)));  // two entries that are not there
}

TEST(IcoJudge, AFileIsFineWithOneSmallImageWindows98Shows) {
    const std::vector<std::uint32_t> disc = discPixels(32, 0xff2040c0);
    std::vector<bool> outside;
    for (std::uint32_t pixel : disc) outside.push_back(pixel == 0);
    const std::vector<std::uint32_t> opaque(32 * 32, 0xff2040c0);
    std::vector<std::uint32_t> noAlpha;  // XP reads zeros throughout as no alpha at all
    for (std::uint32_t pixel : opaque) noAlpha.push_back(pixel & 0xffffff);

    for (const std::string& file :
         {iconFileOf({argbImage(32, 32, disc, outside)}), iconFileOf({argbImage(32, 32, opaque)}),
          iconFileOf({argbImage(32, 32, noAlpha, outside)}),
          iconFileOf({pngImage(256), argbImage(32, 32, disc), argbImage(32, 32, opaque)}),
          iconFileOf({argbImage(32, 32, opaque)}, 2)}) {
        const auto judgement = judge(file);
        ASSERT_TRUE(judgement);
        EXPECT_TRUE(judgement->fine()) << judgement->problems.size();
        EXPECT_EQ(judgement->shown, (std::vector<Size>{{32, 32}}));
    }
    EXPECT_EQ(judge(iconFileOf({argbImage(32, 32, opaque)}, 2))->type, Type::Cursor);
}

// A disc whose edge pixels are as opaque as the disc covers them, their
// colour kept whole as Windows XP's icons keep it; 0 outside.
std::vector<std::uint32_t> softDiscPixels(int side, std::uint32_t rgb) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double edge =
                side / 2.0 - 1 - std::hypot(x + 0.5 - side / 2.0, y + 0.5 - side / 2.0);
            const auto alpha = std::uint32_t(std::lround(std::clamp(edge + 0.5, 0.0, 1.0) * 255));
            pixels.push_back(alpha == 0 ? 0 : alpha << 24 | rgb);
        }
    return pixels;
}

TEST(IcoJudge, WeighsTheMaskAgainstTheAlphaAsWindows98DrawsIt) {
    const std::vector<std::uint32_t> soft = softDiscPixels(32, 0xc81e1e);
    auto where = [&](auto test) {
        std::vector<bool> marked;
        for (std::uint32_t pixel : soft) marked.push_back(test(pixel >> 24));
        return marked;
    };
    auto count = [&](auto test) {
        return int(std::count_if(soft.begin(), soft.end(),
                                 [&](std::uint32_t pixel) { return test(pixel >> 24); }));
    };
    auto transparent = [](std::uint32_t alpha) { return alpha == 0; };
    auto faint = [](std::uint32_t alpha) { return alpha < 128; };
    auto notOpaque = [](std::uint32_t alpha) { return alpha < 255; };
    const int faintEdge = count(faint) - count(transparent);
    ASSERT_GT(faintEdge, 0);
    ASSERT_GT(count(notOpaque), count(faint));

    // The mask covers the transparent pixels only: the faint edge is drawn
    // at full strength.
    EXPECT_EQ(problemsOf(iconFileOf({argbImage(32, 32, soft, where(transparent))})),
              (std::vector<Problem>{{Kind::SoftEdgesOutsideMask, 32, 32, 32, faintEdge}}));
    // Covering the faint edge as well, it XORs the edge's colour.
    EXPECT_EQ(problemsOf(iconFileOf({argbImage(32, 32, soft, where(faint))})),
              (std::vector<Problem>{{Kind::ColourUnderMask, 32, 32, 32, faintEdge}}));
    EXPECT_EQ(problemsOf(iconFileOf({argbImage(32, 32, soft, where(notOpaque))})),
              (std::vector<Problem>{
                  {Kind::ColourUnderMask, 32, 32, 32, count(notOpaque) - count(transparent)}}));
    // Black under the mask, it shows the disc with a hard edge.
    std::vector<std::uint32_t> blackened = soft;
    for (std::uint32_t& pixel : blackened)
        if (faint(pixel >> 24)) pixel &= 0xff000000u;
    const auto hard = judge(iconFileOf({argbImage(32, 32, blackened, where(faint))}));
    ASSERT_TRUE(hard);
    EXPECT_TRUE(hard->fine());
    EXPECT_TRUE(hard->hardEdges);

    // A mask over the top half of the transparent pixels is no empty one.
    const std::vector<std::uint32_t> disc = discPixels(32, 0xffc81e1e);
    std::vector<bool> topHalf;
    for (std::size_t i = 0; i < disc.size(); ++i)
        topHalf.push_back(disc[i] == 0 && i < disc.size() / 2);
    EXPECT_EQ(problemsOf(iconFileOf({argbImage(32, 32, disc, topHalf)})),
              (std::vector<Problem>{{Kind::TransparentOutsideMask, 32, 32, 32,
                                     int(std::count(disc.begin(), disc.end(), 0u)) / 2}}));
}

TEST(IcoWriter, WritesPaletteImagesWithTheirMasks) {
    IndexedImage small{16,
                       16,
                       4,
                       {0xff0000, 0x000000},
                       std::vector<std::uint8_t>(256, 0),
                       std::vector<std::uint8_t>(256, 0)};
    small.indices[0] = 1;
    small.transparent[0] = 1;
    IndexedImage large{48,
                       48,
                       8,
                       {0x00ff00},
                       std::vector<std::uint8_t>(48 * 48, 0),
                       std::vector<std::uint8_t>(48 * 48, 0)};
    const std::string file = encodeIcon(std::vector{small, large});
    const auto header = readHeader(file);
    ASSERT_TRUE(header);
    ASSERT_EQ(header->entries.size(), 2u);
    EXPECT_EQ(std::tuple(header->entries[0].width, header->entries[0].colours,
                         imageBitCount(file, header->entries[0])),
              std::tuple(16, 16, std::optional(4)));
    EXPECT_EQ(std::tuple(header->entries[1].width, header->entries[1].colours,
                         imageBitCount(file, header->entries[1])),
              std::tuple(48, 0, std::optional(8)));
    EXPECT_EQ(header->entries[1].offset + header->entries[1].size, file.size());
    const auto judgement = judge(file);
    ASSERT_TRUE(judgement);
    EXPECT_EQ(judgement->shown, (std::vector<Size>{{16, 16}, {48, 48}}));

    // The top left pixel: the last colour row's first nibble, the last mask
    // row's first bit.
    const std::size_t dib = header->entries[0].offset, pixels = dib + 40 + 16 * 4;
    EXPECT_EQ(std::uint8_t(file[pixels + 15 * 8]), 0x10);
    EXPECT_EQ(std::uint8_t(file[pixels + 16 * 8 + 15 * 4]), 0x80);

    small.indices[1] = 16;
    EXPECT_THROW(encodeIcon(std::vector{small}), std::invalid_argument);
}

}  // namespace
}  // namespace zarvo::ico
