#include "pictures/resampler.h"

#include <gtest/gtest.h>

namespace zarvo {
namespace {

TEST(Resampler, FlatStaysFlatAndGradientsStayInOrderBothWays) {
    QImage flat(300, 200, QImage::Format_RGB32);
    flat.fill(QColor(12, 140, 250));
    QImage gradient(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x * 255 / 299, y * 255 / 199, 128));

    // Shrinking one axis while enlarging the other, from a fractional area.
    for (QSize size : {QSize(320, 400), QSize(40, 30), QSize(900, 37)}) {
        SCOPED_TRACE(std::to_string(size.width()) + " x " + std::to_string(size.height()));
        for (QRectF area : {QRectF(0, 0, 300, 200), QRectF(10.5, 3.25, 200.5, 150)}) {
            const QImage still = resampled(flat, area, size);
            ASSERT_EQ(still.size(), size);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    ASSERT_EQ(still.pixel(x, y), qRgb(12, 140, 250)) << x << ' ' << y;

            // Ringing may not turn a slope back on itself.
            const QImage slope = resampled(gradient, area, size);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 1; x < size.width(); ++x)
                    ASSERT_LE(qRed(slope.pixel(x - 1, y)), qRed(slope.pixel(x, y)))
                        << x << ' ' << y;
            for (int y = 1; y < size.height(); ++y)
                ASSERT_LE(qGreen(slope.pixel(0, y - 1)), qGreen(slope.pixel(0, y))) << y;
        }
    }

    // The middle of the picture stays where it was.
    const QImage middle = resampled(gradient, QRectF(0, 0, 300, 200), QSize(31, 21));
    EXPECT_NEAR(qRed(middle.pixel(15, 10)), 128, 1);
    EXPECT_NEAR(qGreen(middle.pixel(15, 10)), 128, 1);
}

TEST(Resampler, OnlyTheAreaCountsAndTransparencyComesOutBlack) {
    // Red left, blue right: a crop of the blue half has no red at its edge.
    QImage halves(200, 100, QImage::Format_RGB32);
    halves.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x) halves.setPixel(x, y, qRgb(0, 0, 255));
    const QImage blue = resampled(halves, QRectF(100, 0, 100, 100), QSize(7, 50));
    for (int y = 0; y < blue.height(); ++y) ASSERT_EQ(blue.pixel(0, y), qRgb(0, 0, 255)) << y;

    // Half-transparent white is the grey it makes over black.
    QImage veiled(64, 64, QImage::Format_ARGB32);
    veiled.fill(qRgba(255, 255, 255, 128));
    const QImage grey = resampled(veiled, QRectF(0, 0, 64, 64), QSize(20, 90));
    EXPECT_EQ(grey.format(), QImage::Format_RGB32);
    EXPECT_NEAR(qRed(grey.pixel(10, 45)), 128, 1);
    EXPECT_EQ(qRed(grey.pixel(10, 45)), qBlue(grey.pixel(10, 45)));
}

}  // namespace
}  // namespace zarvo
