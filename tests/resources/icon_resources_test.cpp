#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QSet>
#include <utility>
#include <vector>

#include "resources/resource_reading.h"

namespace {

using zarvo::testing::le16;
using zarvo::testing::le32;
using zarvo::testing::readAllImages;
using zarvo::testing::resourceBytes;

struct DirEntry {
    int width;
    int height;
    int planesOrHotspotX;
    int bitCountOrHotspotY;
    int dibBitCount;  // from the image's own header; 0 when it is no DIB
};

// The ICONDIR of an .ico or .cur file: its type and entries.
std::pair<int, std::vector<DirEntry>> iconDirectory(const QByteArray& bytes) {
    std::vector<DirEntry> entries;
    const int count = le16(bytes, 4);
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= bytes.size(); ++i) {
        const qsizetype at = 6 + 16 * i;
        const auto side = [&](qsizetype offset) {
            const int value = static_cast<unsigned char>(bytes.at(offset));
            return value == 0 ? 256 : value;
        };
        const qsizetype image = le32(bytes, at + 12);
        const bool dib = le32(bytes, image) == 40;
        entries.push_back({side(at), side(at + 1), le16(bytes, at + 4), le16(bytes, at + 6),
                           dib ? le16(bytes, image + 14) : 0});
    }
    return {le16(bytes, 2), entries};
}

TEST(ResourceIcons, PictureIconHoldsThreeSixteenColourSizesInOrder) {
    const QByteArray bytes = resourceBytes(QStringLiteral(":/icons/image1.ico"));
    const auto [type, entries] = iconDirectory(bytes);
    EXPECT_EQ(type, 1);
    ASSERT_EQ(entries.size(), 3u);
    const int sides[] = {32, 16, 48};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].width, sides[i]);
        EXPECT_EQ(entries[i].height, sides[i]);
        EXPECT_EQ(entries[i].dibBitCount, 4);
    }
    const std::vector<QImage> images = readAllImages(bytes, "ico");
    ASSERT_EQ(images.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(images[i].size(), QSize(sides[i], sides[i]));
}

TEST(ResourceIcons, ProgramButtonIconsAreSixteenColourDibs) {
    for (const char* name : {"zarvo", "restart", "help"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = resourceBytes(QStringLiteral(":/icons/%1.ico").arg(name));
        const auto [type, entries] = iconDirectory(bytes);
        EXPECT_EQ(type, 1);
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries[0].width, 32);
        EXPECT_EQ(entries[0].dibBitCount, 4);
        const std::vector<QImage> images = readAllImages(bytes, "ico");
        ASSERT_FALSE(images.empty());
        EXPECT_FALSE(images[0].isNull());
    }
}

TEST(ResourceIcons, SlotIconsAreWindows98DibIconsAllDifferent) {
    QSet<QByteArray> files;
    QSet<QByteArray> largePictures;
    for (int id = 200; id <= 239; ++id) {
        SCOPED_TRACE(id);
        const QByteArray bytes = resourceBytes(QStringLiteral(":/icons/%1.ico").arg(id));
        const auto [type, entries] = iconDirectory(bytes);
        EXPECT_EQ(type, 1);
        // Windows 98 reads palette DIBs only, never PNG-compressed images.
        for (const DirEntry& entry : entries) EXPECT_EQ(entry.dibBitCount, 8);

        QImage large;
        bool hasSmall = false;
        for (const QImage& image : readAllImages(bytes, "ico")) {
            if (image.size() == QSize(32, 32)) large = image;
            hasSmall = hasSmall || image.size() == QSize(16, 16);
        }
        ASSERT_FALSE(large.isNull());
        EXPECT_TRUE(hasSmall);
        const QImage argb = large.convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) opaque += qAlpha(argb.pixel(x, y)) > 0;
        EXPECT_GT(opaque, 32 * 32 / 5) << "icon is nearly empty";
        files.insert(bytes);
        largePictures.insert(
            QByteArray(reinterpret_cast<const char*>(argb.constBits()), argb.sizeInBytes()));
    }
    EXPECT_EQ(files.size(), 40);
    EXPECT_EQ(largePictures.size(), 40);
}

TEST(ResourceCursor, HandCursorHasItsHotspotOnTheFingertip) {
    const QByteArray bytes = resourceBytes(QStringLiteral(":/drive/Program Files/Zarvo/32761.CUR"));
    const auto [type, entries] = iconDirectory(bytes);
    EXPECT_EQ(type, 2);
    ASSERT_EQ(entries.size(), 1u);
    const QPoint hotspot(entries[0].planesOrHotspotX, entries[0].bitCountOrHotspotY);
    EXPECT_EQ(hotspot, QPoint(5, 0));

    const std::vector<QImage> images = readAllImages(bytes, "cur");
    ASSERT_EQ(images.size(), 1u);
    const QImage cursor = images[0].convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(cursor.size(), QSize(32, 32));
    // The click lands on the hand itself, and nothing of it lies above.
    EXPECT_GT(qAlpha(cursor.pixel(hotspot)), 0);
    EXPECT_EQ(qAlpha(cursor.pixel(31, 31)), 0);
}

TEST(ResourceAbout, CloseButtonGifDecodes) {
    const QByteArray bytes = resourceBytes(QStringLiteral(":/about/close.gif"));
    ASSERT_TRUE(bytes.startsWith("GIF8"));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(image.size(), QSize(36, 37));
    // Pixels across the whole stream, so every run between clear codes decoded.
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(27, 28), qRgb(192, 192, 192));
    EXPECT_EQ(image.pixel(35, 36), qRgb(0, 0, 0));
    const QRgb tick = image.pixel(15, 25);
    EXPECT_GT(qGreen(tick), qRed(tick) + 60);
}

TEST(ResourceIcons, IconPagePreviewIsAFullScreenJpeg) {
    const QImage image =
        QImage::fromData(resourceBytes(QStringLiteral(":/previews/icons.jpg")), "JPEG");
    EXPECT_EQ(image.size(), QSize(1024, 768));
}

}  // namespace
