#include "pictures/icon_maker.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include "formats/ico_judge.h"
#include "formats/ico_writer.h"

namespace zarvo {
namespace {

// Each image of an icon file, as Qt reads it, in file order.
std::vector<QImage> imagesOf(const std::string& icon) {
    QByteArray bytes = QByteArray::fromStdString(icon);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    std::vector<QImage> images;
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i)
        images.push_back(reader.read().convertToFormat(QImage::Format_ARGB32));
    return images;
}

class IconMaker : public ::testing::Test {
protected:
    std::vector<QImage> madeFrom(const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const std::optional<std::string> icon = windows98IconOf(file.fileName());
        EXPECT_TRUE(icon && ico::judge(*icon) && ico::judge(*icon)->fine());
        return icon ? imagesOf(*icon) : std::vector<QImage>{};
    }

    QTemporaryDir folder;
};

// Each size comes from the image that suits it best: its own size, else the
// next larger, scaled down.
TEST_F(IconMaker, EachSizeIsDrawnFromTheBestImage) {
    auto flat = [](int side, std::uint32_t colour) {
        const std::size_t pixels = std::size_t(side) * std::size_t(side);
        return ico::IndexedImage{side,
                                 side,
                                 4,
                                 {colour},
                                 std::vector<std::uint8_t>(pixels, 0),
                                 std::vector<std::uint8_t>(pixels, 0)};
    };
    const std::string icon =
        ico::encodeIcon(std::vector{flat(64, 0x2050d0), flat(16, 0x20a040), flat(48, 0xd03020)});
    const std::vector<QImage> made = madeFrom("sizes.ico", QByteArray::fromStdString(icon));
    ASSERT_EQ(made.size(), 6u);
    const QRgb colours[] = {qRgb(0x20, 0xa0, 0x40), qRgb(0xd0, 0x30, 0x20), qRgb(0xd0, 0x30, 0x20)};
    for (std::size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i].width(), 16 * int(i / 2 + 1));
        EXPECT_EQ(made[i].pixel(5, 5), colours[i / 2]) << i;
    }
}

TEST_F(IconMaker, AnSvgIsDrawnAtEachSizeAndAWidePictureIsCentred) {
    // A left half, sharp at every size, however small the drawing says it is.
    const std::vector<QImage> svg =
        madeFrom("half.svg",
                 "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
                 "<rect width='5' height='10' fill='#c02040'/></svg>");
    ASSERT_EQ(svg.size(), 6u);
    for (const QImage& image : svg) {
        const int middle = image.width() / 2;
        EXPECT_EQ(image.pixel(middle - 1, 3), qRgb(0xc0, 0x20, 0x40)) << image.width();
        EXPECT_EQ(qAlpha(image.pixel(middle, 3)), 0) << image.width();
    }

    QImage wide(40, 20, QImage::Format_RGB32);
    wide.fill(QColor(30, 90, 160));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    wide.save(&buffer, "PNG");
    const std::vector<QImage> centred = madeFrom("wide.png", png);
    ASSERT_EQ(centred.size(), 4u);  // no 48 x 48 from a picture this small
    const QImage& large = centred[3];
    EXPECT_EQ(qAlpha(large.pixel(16, 7)), 0);
    EXPECT_EQ(large.pixel(16, 8), qRgb(30, 90, 160));
    EXPECT_EQ(large.pixel(0, 23), qRgb(30, 90, 160));
    EXPECT_EQ(qAlpha(large.pixel(16, 24)), 0);
}

}  // namespace
}  // namespace zarvo
