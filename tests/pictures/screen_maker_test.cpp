#include "pictures/screen_maker.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <set>

#include "formats/screen_file.h"
#include "pictures/resampler.h"
#include "ui/qt_ui_services.h"

namespace zarvo {
namespace {

QImage decoded(const std::string& bytes) {
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                            static_cast<int>(bytes.size()), "BMP");
}

// Sky-like gradients with more colours than a palette holds, and a few
// flat patches.
QImage photoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, 60 + y * 150 / height, 255 - (x + y) % 200));
    QPainter painter(&image);
    painter.fillRect(QRect(width / 8, height / 8, width / 4, height / 4), QColor(250, 250, 250));
    painter.fillRect(QRect(width / 2, height / 2, width / 4, height / 4), QColor(200, 20, 30));
    return image;
}

TEST(ScreenMaker, PngJpegAnd24BitBmpBecomeScreenFilesWithAndWithoutBand) {
    QTemporaryDir folder;
    const QImage photo = photoLike(640, 480);
    for (const char* format : {"png", "jpg", "bmp"}) {
        const QString input = folder.filePath(QStringLiteral("photo.") + format);
        ASSERT_TRUE(photo.save(input, format));
        if (QByteArray(format) == "bmp") {
            QFile file(input);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            ASSERT_EQ(file.read(30).at(28), 24) << "the input is meant to be a 24-bit bitmap";
        }
        for (int band : {0, 236}) {
            SCOPED_TRACE(std::string(format) + " band " + std::to_string(band));
            const QString output =
                folder.filePath(QStringLiteral("LOGO%1.%2").arg(band).arg(format));
            ScreenOptions options;
            options.bandStart = band;
            makeScreenFile(input, output, options);

            QFile file(output);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            ASSERT_EQ(bytes.size(), 129078);
            const screen::Check check = screen::check(bytes.toStdString());
            EXPECT_TRUE(check.fine());
            EXPECT_EQ(check.bandStart, band);
            EXPECT_EQ(static_cast<uchar>(bytes.at(0x32)), band);

            // The program's own previews read it.
            const QImage picture = readPicture(output);
            ASSERT_EQ(picture.format(), QImage::Format_Indexed8);
            ASSERT_EQ(picture.size(), QSize(320, 400));
            ASSERT_EQ(picture.colorCount(), 256);

            // The bar and only the bar uses the band's entries, all of them;
            // without a band the whole palette goes to the picture.
            std::set<int> inBar, aboveBar;
            for (int y = 0; y < 400; ++y)
                for (int x = 0; x < 320; ++x)
                    (y >= 400 - kBandBarRows ? inBar : aboveBar).insert(picture.pixelIndex(x, y));
            if (band > 0) {
                EXPECT_EQ(inBar.size(), 20u);
                EXPECT_GE(*inBar.begin(), band);
                EXPECT_LT(*aboveBar.rbegin(), band);
            } else {
                EXPECT_EQ(aboveBar.size(), 256u);
            }
        }
    }
}

// The width and height of the white disc, in pixels of a 4:3 screen.
QSizeF shownDisc(const QImage& screen) {
    int left = 320, right = -1, top = 400, bottom = -1;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 320; ++x)
            if (qGray(screen.pixel(x, y)) > 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return QSizeF((right - left + 1) * 5.0 / 3.0, bottom - top + 1);
}

TEST(ScreenMaker, CirclesStayRoundOnTheStretchedScreenAndBarsAreBlack) {
    for (QSize size : {QSize(1200, 400), QSize(600, 1500)}) {
        QImage input(size, QImage::Format_RGB32);
        input.fill(QColor(30, 60, 140));
        QPainter painter(&input);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        const double radius = std::min(size.width(), size.height()) * 0.3;
        painter.drawEllipse(QRectF(size.width() / 2.0 - radius, size.height() / 2.0 - radius,
                                   2 * radius, 2 * radius));
        painter.end();
        for (bool fill : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1 x %2, fill %3")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(fill)
                             .toStdString());
            ScreenOptions options;
            options.fill = fill;
            const QImage screen = decoded(screenFileFor(input, options));
            const QSizeF disc = shownDisc(screen);
            EXPECT_NEAR(disc.width() / disc.height(), 1.0, 0.03);
            EXPECT_GT(disc.height(), 90);

            // Bars across the long side of the input, or none when cropped.
            const bool wide = size.width() > size.height();
            const QRgb edge = wide ? screen.pixel(160, 0) : screen.pixel(0, 200);
            EXPECT_EQ(edge == qRgb(0, 0, 0), !fill);
        }
    }
}

// Today's formats too: a WebP photo, and an SVG drawing, which is drawn at
// the size the screen shows it however small it says it is.
TEST(ScreenMaker, WebPAndSvgBecomeScreenFiles) {
    QTemporaryDir folder;
    const auto made = [&](const QString& input) {
        const QString output = input + QStringLiteral(".sys");
        makeScreenFile(input, output, ScreenOptions());
        QFile file(output);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const std::string bytes = file.readAll().toStdString();
        EXPECT_TRUE(screen::check(bytes).fine());
        return decoded(bytes);
    };

    const QString svg = folder.filePath(QStringLiteral("disc.svg"));
    {
        QFile file(svg);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "<svg xmlns='http://www.w3.org/2000/svg' width='12' height='9'>"
            "<rect width='12' height='9' fill='#1e3c8c'/>"
            "<circle cx='6' cy='4.5' r='3' fill='white'/></svg>");
    }
    const QImage drawing = made(svg);
    EXPECT_NEAR(shownDisc(drawing).height(), 400 * 6 / 9.0, 8);
    // Sharp: across its middle row the disc's edge takes a few pixels, not
    // the forty a 12-pixel picture stretched to the screen would blur.
    int edge = 0;
    for (int x = 0; x < 320; ++x)
        edge += qGray(drawing.pixel(x, 200)) > 90 && qGray(drawing.pixel(x, 200)) < 200;
    EXPECT_LT(edge, 12);

    ASSERT_TRUE(QImageWriter::supportedImageFormats().contains("webp"))
        << "Qt's WebP plugin is missing: install qt6-image-formats-plugins";
    const QString webp = folder.filePath(QStringLiteral("photo.webp"));
    ASSERT_TRUE(photoLike(640, 480).save(webp, "WEBP"));
    EXPECT_EQ(made(webp).size(), QSize(320, 400));
}

TEST(ScreenMaker, FlatColoursStayFlatAndDitheringKeepsGradientsTrue) {
    // Few colours come back exactly: no dithering noise on flat areas.
    QImage flat(640, 480, QImage::Format_RGB32);
    flat.fill(QColor(10, 100, 200));
    QPainter(&flat).fillRect(0, 240, 640, 240, QColor(240, 200, 40));
    const QImage flatScreen = decoded(screenFileFor(flat, {}));
    for (int x = 0; x < 320; ++x) {
        ASSERT_EQ(flatScreen.pixel(x, 50), qRgb(10, 100, 200));
        ASSERT_EQ(flatScreen.pixel(x, 350), qRgb(240, 200, 40));
    }

    // A gradient of many more colours than the palette: diffusion keeps the
    // local average of the picture, nearest colours alone drift in bands.
    QImage gradient(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            gradient.setPixel(x, y, qRgb(x * 255 / 639, y * 255 / 479, 128));
    const QImage expected = resampled(gradient, QRectF(0, 0, 640, 480), QSize(320, 400));
    auto blockError = [&](bool dither) {
        ScreenOptions options;
        options.dither = dither;
        const QImage screen = decoded(screenFileFor(gradient, options));
        double worst = 0;
        // The outermost blocks are left out: no mix of palette colours
        // reaches the very ends of the gradient.
        for (int y = 8; y + 16 <= 400; y += 8)
            for (int x = 8; x + 16 <= 320; x += 8) {
                double got = 0, want = 0;
                for (int dy = 0; dy < 8; ++dy)
                    for (int dx = 0; dx < 8; ++dx) {
                        got += qRed(screen.pixel(x + dx, y + dy)) +
                               qGreen(screen.pixel(x + dx, y + dy));
                        want += qRed(expected.pixel(x + dx, y + dy)) +
                                qGreen(expected.pixel(x + dx, y + dy));
                    }
                worst = std::max(worst, std::abs(got - want) / 128);
            }
        return worst;
    };
    const double dithered = blockError(true);
    EXPECT_LT(dithered, 1.5);
    EXPECT_LT(dithered * 2, blockError(false));
}

}  // namespace
}  // namespace zarvo
