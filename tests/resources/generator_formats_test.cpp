#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QPainterPath>
#include <set>

#include "generator/file_formats.h"
#include "generator/screen_canvas.h"
#include "resources/resource_reading.h"

namespace {

using namespace zarvo::resgen;

std::vector<QImage> decodeAll(const QByteArray& bytes, const char* format) {
    std::vector<QImage> images = zarvo::testing::readAllImages(bytes, format);
    for (QImage& image : images) image = image.convertToFormat(QImage::Format_ARGB32);
    return images;
}

QImage patternedIndexed(int width, int height, int colours) {
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i) table << qRgb(i, (i * 37) % 256, 255 - i);
    image.setColorTable(table);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, (x * 7 + y * 13 + x * y) % colours);
    return image;
}

TEST(ResourceGeneratorFormats, ScreenBitmapKeepsEveryPixelAndTheBandStart) {
    const QImage picture = patternedIndexed(320, 400, 256);
    const QByteArray bytes = encodeScreenBmp(picture, 0xEC);
    EXPECT_EQ(static_cast<unsigned char>(bytes.at(0x32)), 0xEC);
    const QImage decoded = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(decoded.format(), QImage::Format_Indexed8);
    EXPECT_EQ(decoded.colorTable(), picture.colorTable());
    EXPECT_EQ(decoded, picture);
}

TEST(ResourceGeneratorFormats, IconImagesOfEveryDepthAndOddWidthsSurviveQtsReader) {
    // Widths that are no multiple of 32 exercise the row padding of both the
    // colour bitmap and the one-bit mask.
    std::vector<IconImage> images;
    for (int bits : {1, 4, 8}) {
        for (QSize size : {QSize(32, 32), QSize(20, 13)}) {
            IconImage image;
            image.width = size.width();
            image.height = size.height();
            image.bitsPerPixel = bits;
            for (int i = 0; i < (1 << bits); ++i)
                image.palette.push_back(qRgb(255 - i, i * 3 % 256, (i * 91) % 256));
            for (int y = 0; y < image.height; ++y) {
                for (int x = 0; x < image.width; ++x) {
                    const bool clear = (x + 2 * y) % 5 == 0;
                    image.transparent.push_back(clear);
                    image.pixels.push_back(clear ? 0 : (x * 3 + y) % (1 << bits));
                }
            }
            images.push_back(image);
        }
    }
    const std::vector<QImage> decoded = decodeAll(encodeIcon(images), "ico");
    ASSERT_EQ(decoded.size(), images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& expected = images[i];
        SCOPED_TRACE(testing::Message() << expected.bitsPerPixel << " bpp " << expected.width);
        ASSERT_EQ(decoded[i].size(), QSize(expected.width, expected.height));
        int wrong = 0;
        for (int y = 0; y < expected.height; ++y) {
            for (int x = 0; x < expected.width; ++x) {
                const size_t at = static_cast<size_t>(y * expected.width + x);
                const QRgb got = decoded[i].pixel(x, y);
                const bool ok = expected.transparent[at]
                                    ? qAlpha(got) == 0
                                    : got == expected.palette[expected.pixels[at]];
                wrong += !ok;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(ResourceGeneratorFormats, GifStaysExactAcrossManyClearCodes) {
    const QImage picture = patternedIndexed(211, 157, 256);
    const std::vector<QImage> decoded = decodeAll(encodeGif(picture), "gif");
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0], picture.convertToFormat(QImage::Format_ARGB32));
}

// The band of a canvas whose first band colour alone is bright, with the
// band pixels ordered left to right.
QImage bandProbe(const ScreenCanvas::Field& density = {}) {
    ScreenCanvas canvas(0xF0);
    std::vector<QRgb> colours(16, qRgb(0, 0, 60));
    colours[0] = qRgb(255, 255, 255);
    canvas.setBandColours(colours);
    QPainterPath all;
    all.addRect(0, 0, 640, 400);
    canvas.addBand(
        all, [](double x, double) { return x / 8; }, density);
    return canvas.toIndexed();
}

int firstBrightColumn(const QImage& picture, int row) {
    for (int x = 0; x < picture.width(); ++x)
        if (picture.pixel(x, row) == qRgb(255, 255, 255)) return x;
    return -1;
}

TEST(ResourceGeneratorFormats, RotatingTheBandMovesPatternsTowardsGrowingPosition) {
    QImage picture = bandProbe();
    const int before = firstBrightColumn(picture, 200);
    // One frame of Windows 98's rotation.
    QList<QRgb> table = picture.colorTable();
    const QRgb first = table[0xF0];
    for (int i = 0xF0; i < 255; ++i) table[i] = table[i + 1];
    table[255] = first;
    picture.setColorTable(table);
    const int after = firstBrightColumn(picture, 200);
    ASSERT_GE(before, 0);
    ASSERT_GE(after, 0);
    // Flames must rise and bars flow forward, not backwards.
    EXPECT_GT(after, before);
    EXPECT_LE(after - before, 4);
}

TEST(ResourceGeneratorFormats, StillPixelsNeverUseBandEntries) {
    ScreenCanvas canvas(0x80);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            canvas.shown().setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    canvas.setBandColours(std::vector<QRgb>(128, qRgb(1, 2, 3)));
    QPainterPath left;
    left.addRect(0, 0, 320, 400);
    QPainterPath corner;
    corner.addRect(0, 0, 100, 100);
    canvas.addBand(left, [](double, double) { return 0.0; });
    canvas.removeBand(corner);
    const QImage picture = canvas.toIndexed();
    int stillInBand = 0;
    int bandOutside = 0;
    for (int y = 0; y < 400; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool band = picture.pixelIndex(x, y) >= 0x80;
            const bool wanted = x < 160 && !(x < 50 && y < 100);
            stillInBand += !wanted && band;
            bandOutside += wanted && !band;
        }
    }
    EXPECT_EQ(stillInBand, 0);
    EXPECT_EQ(bandOutside, 0);
}

TEST(ResourceGeneratorFormats, DensityThinsTheBandToItsShare) {
    const QImage picture = bandProbe([](double, double) { return 0.25; });
    int inBand = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 320; ++x) inBand += picture.pixelIndex(x, y) >= 0xF0;
    EXPECT_NEAR(inBand / double(320 * 400), 0.25, 0.03);
}

}  // namespace
