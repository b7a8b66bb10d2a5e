#include "formats/ico_judge.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(problemsOf(iconFileOf({argbImage(16, 16, discPixels(16, red))})),
              (std::vector<Problem>{{Kind::AlphaOverEmptyMask, 16, 16, 32}}));

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
