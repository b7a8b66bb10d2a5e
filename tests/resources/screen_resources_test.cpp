#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>

#include "resource_names/boot_pictures.h"
#include "resources/resource_reading.h"

namespace {

using zarvo::testing::le16;
using zarvo::testing::le32;
using zarvo::testing::resourceBytes;

const QString kProgram = QStringLiteral(":/drive/Program Files/Zarvo/");

QStringList previews() {
    return {QStringLiteral(":/previews/boot.bmp"), QStringLiteral(":/previews/wait.bmp"),
            QStringLiteral(":/previews/shutdown.bmp"), QStringLiteral(":/previews/animated.bmp"),
            QStringLiteral(":/previews/wallpaper.bmp")};
}

QStringList programScreens() {
    return {kProgram + QStringLiteral("Logo.sys"), kProgram + QStringLiteral("Logow.sys"),
            kProgram + QStringLiteral("Logos.sys")};
}

QStringList animatedPictures() {
    QStringList paths;
    for (std::string_view name : zarvo::kBootPictureNames)
        paths << kProgram + QStringLiteral("Zarvo/") +
                     QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return paths;
}

QStringList everyScreenFile() {
    return previews() + programScreens() + animatedPictures() +
           QStringList{QStringLiteral(":/drive/Windows/Logow.sys"),
                       QStringLiteral(":/drive/Windows/Logos.sys")};
}

// The picture as shown after `frames` steps of Windows 98's palette rotation.
QImage rotated(QImage picture, int bandStart, int frames) {
    QList<QRgb> table = picture.colorTable();
    for (int frame = 0; frame < frames; ++frame) {
        const QRgb first = table[bandStart];
        for (int i = bandStart; i < 255; ++i) table[i] = table[i + 1];
        table[255] = first;
    }
    picture.setColorTable(table);
    return picture.convertToFormat(QImage::Format_RGB32);
}

TEST(ResourceScreenFiles, EveryScreenFileIsWhatWindowsBootsWith) {
    for (const QString& path : everyScreenFile()) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = resourceBytes(path);
        ASSERT_EQ(bytes.size(), 129078);
        EXPECT_TRUE(bytes.startsWith("BM"));
        EXPECT_EQ(le32(bytes, 2), 129078u);
        EXPECT_EQ(le32(bytes, 10), 1078u);
        EXPECT_EQ(le32(bytes, 14), 40u);
        EXPECT_EQ(le32(bytes, 18), 320u);
        EXPECT_EQ(le32(bytes, 22), 400u);
        EXPECT_EQ(le16(bytes, 28), 8);
        EXPECT_EQ(le32(bytes, 30), 0u);
        EXPECT_EQ(le32(bytes, 46), 256u);
        EXPECT_LT(le32(bytes, 50), 256u);
        const QImage image = QImage::fromData(bytes, "BMP");
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(320, 400));
        EXPECT_EQ(image.format(), QImage::Format_Indexed8);
        EXPECT_EQ(image.colorCount(), 256);
    }
}

TEST(ResourceScreenFiles, PicturesThatCanBeComparedDiffer) {
    const QStringList paths = previews() + programScreens();
    for (int i = 0; i < paths.size(); ++i)
        for (int j = i + 1; j < paths.size(); ++j)
            EXPECT_NE(resourceBytes(paths[i]), resourceBytes(paths[j]))
                << paths[i].toStdString() << " = " << paths[j].toStdString();
    // Installing the program's screens must visibly replace the system's.
    EXPECT_NE(resourceBytes(kProgram + QStringLiteral("Logow.sys")),
              resourceBytes(QStringLiteral(":/drive/Windows/Logow.sys")));
    EXPECT_NE(resourceBytes(kProgram + QStringLiteral("Logos.sys")),
              resourceBytes(QStringLiteral(":/drive/Windows/Logos.sys")));
}

TEST(ResourceScreenFiles, AnimatedPicturesMoveWhenTheBandRotates) {
    const QStringList paths =
        animatedPictures() + QStringList{kProgram + QStringLiteral("Logo.sys")};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = resourceBytes(path);
        const int bandStart = static_cast<unsigned char>(bytes.at(0x32));
        ASSERT_NE(bandStart, 0);
        const QImage picture = QImage::fromData(bytes, "BMP");
        ASSERT_EQ(picture.format(), QImage::Format_Indexed8);

        int inBand = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (picture.pixelIndex(x, y) >= bandStart) ++inBand;
        EXPECT_GT(inBand, 320 * 400 * 3 / 100);

        EXPECT_NE(rotated(picture, bandStart, 0), rotated(picture, bandStart, 1));
    }
}

TEST(ResourceScreenFiles, AnimatedPicturesAreAllDifferent) {
    const QStringList paths = animatedPictures();
    for (int i = 0; i < paths.size(); ++i)
        for (int j = i + 1; j < paths.size(); ++j)
            EXPECT_NE(resourceBytes(paths[i]), resourceBytes(paths[j]))
                << paths[i].toStdString() << " = " << paths[j].toStdString();
}

}  // namespace
