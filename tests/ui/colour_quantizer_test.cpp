#include "ui/colour_quantizer.h"

#include <gtest/gtest.h>

#include <set>

namespace zarvo {
namespace {

TEST(ColourQuantizer, PaletteIsExactForFewColoursAndCloseForMany) {
    const std::vector<QRgb> few = {qRgb(1, 2, 3), qRgb(200, 0, 0), qRgb(1, 2, 3), qRgb(0, 0, 255)};
    const std::vector<QRgb> palette = choosePalette(few, 16);
    EXPECT_EQ(std::set<QRgb>(palette.begin(), palette.end()),
              (std::set<QRgb>{qRgb(1, 2, 3), qRgb(200, 0, 0), qRgb(0, 0, 255)}));

    // Both below and above the count at which colours are gathered into cells.
    for (int count : {4096, 65536}) {
        std::vector<QRgb> sky;
        for (int i = 0; i < count; ++i)
            sky.push_back(qRgb(i % 64, 100 + i / 64 % 120, 160 + (i * 7) % 96));
        const PaletteMatcher matcher(choosePalette(sky, 64));
        EXPECT_LE(matcher.palette().size(), 64u);
        EXPECT_GE(matcher.palette().size(), 60u);
        int worst = 0;
        for (QRgb colour : sky) {
            const QRgb near = matcher.palette()[std::size_t(matcher.nearest(colour))];
            worst = std::max({worst, std::abs(qRed(colour) - qRed(near)),
                              std::abs(qGreen(colour) - qGreen(near)),
                              std::abs(qBlue(colour) - qBlue(near))});
        }
        EXPECT_LT(worst, 32) << count;
    }
}

TEST(ColourQuantizer, MatcherFindsTheNearestEntryEverywhere) {
    std::vector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(qRgb((i * 97) % 256, (i * 61) % 256, (i * 13) % 256));
    const PaletteMatcher matcher(palette);
    auto distance = [](QRgb a, QRgb b) {
        const long dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
        return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    };
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 15) {
                const QRgb colour = qRgb(r, g, b);
                long best = distance(colour, palette[0]);
                for (QRgb entry : palette) best = std::min(best, distance(colour, entry));
                ASSERT_EQ(distance(colour, palette[std::size_t(matcher.nearest(colour))]), best)
                    << r << ' ' << g << ' ' << b;
            }
}

}  // namespace
}  // namespace zarvo
