#include "pictures/colour_quantizer.h"

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
    // A palette crowded into one corner leaves most colours far from any
    // entry, and repeats an entry, which must go to the lower index.
    std::vector<QRgb> crowded;
    for (int i = 0; i < 40; ++i) crowded.push_back(qRgb(200 + i, 30 + i % 7, 90 + i % 3));
    crowded.push_back(crowded[5]);
    for (ColourWeights weights : {kEyeWeights, kEvenWeights}) {
        auto distance = [weights](QRgb a, QRgb b) {
            const long dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
            return weights.red * dr * dr + weights.green * dg * dg + weights.blue * db * db;
        };
        for (const std::vector<QRgb>& entries : {palette, crowded}) {
            const PaletteMatcher matcher(entries, weights);
            for (int r = 0; r < 256; r += 15)
                for (int g = 0; g < 256; g += 5)
                    for (int b = 0; b < 256; b += 15) {
                        const QRgb colour = qRgb(r, g, b);
                        long best = distance(colour, entries[0]);
                        for (QRgb entry : entries) best = std::min(best, distance(colour, entry));
                        const auto found = std::size_t(matcher.nearest(colour));
                        ASSERT_EQ(distance(colour, entries[found]), best)
                            << r << ' ' << g << ' ' << b << " weights " << weights.red;
                        ASSERT_TRUE(entries.size() != crowded.size() || found != entries.size() - 1)
                            << "the repeat is never chosen";
                    }
        }
    }
}

TEST(ColourQuantizer, DitheringKeepsEachPatchsColourAndLeavesTheRestAlone) {
    // Gradients of far more colours than the palette holds, in a frame the
    // dithering must neither read nor write.
    QImage picture(160, 120, QImage::Format_RGB32);
    std::vector<std::uint8_t> region(160 * 120, 0);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            const bool inside = x >= 8 && x < 152 && y >= 8 && y < 112;
            picture.setPixel(x, y,
                             inside ? qRgb(x * 255 / 159, 40 + y, 200 - x / 2) : qRgb(255, 0, 255));
            region[std::size_t(y * 160 + x)] = inside;
        }
    const Quantized quantized = quantizeDithered(picture, 256, region);

    ASSERT_LE(quantized.palette.size(), 256u);
    ASSERT_EQ(quantized.indices.size(), region.size());
    for (QRgb entry : quantized.palette) EXPECT_NE(entry, qRgb(255, 0, 255));

    // Each 8 x 8 patch keeps its mean colour, as the eye sees it from afar.
    // The outer two rings of patches are left out: no mix of palette colours
    // reaches the very ends of the gradient, and what the diffusion cannot
    // place there it carries a row or two inward.
    double worst = 0;
    for (int y = 24; y < 96; y += 8)
        for (int x = 24; x < 136; x += 8)
            for (int channel = 0; channel < 3; ++channel) {
                double got = 0, want = 0;
                for (int dy = 0; dy < 8; ++dy)
                    for (int dx = 0; dx < 8; ++dx) {
                        const auto at = std::size_t((y + dy) * 160 + x + dx);
                        const QRgb dot = quantized.palette[quantized.indices[at]];
                        const QRgb wanted = picture.pixel(x + dx, y + dy);
                        const int shift = 16 - 8 * channel;
                        got += (dot >> shift) & 0xff;
                        want += (wanted >> shift) & 0xff;
                    }
                worst = std::max(worst, std::abs(got - want) / 64);
            }
    EXPECT_LT(worst, 1.5);
    for (std::size_t i = 0; i < region.size(); ++i)
        ASSERT_TRUE(region[i] || quantized.indices[i] == 0) << i;

    // Few colours come back exactly, with no dots between them.
    QImage flat(40, 30, QImage::Format_RGB32);
    flat.fill(qRgb(10, 100, 200));
    for (int y = 15; y < 30; ++y)
        for (int x = 0; x < 40; ++x) flat.setPixel(x, y, qRgb(240, 200, 40));
    const Quantized two = quantizeDithered(flat, 256);
    ASSERT_EQ(two.palette.size(), 2u);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(two.palette[two.indices[std::size_t(y * 40 + x)]], flat.pixel(x, y));
}

}  // namespace
}  // namespace zarvo
