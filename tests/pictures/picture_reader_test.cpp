#include "pictures/picture_reader.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "formats/screen_file.h"
#include "pictures/icon_maker.h"
#include "pictures/screen_maker.h"
#include "pictures/wallpaper_maker.h"

namespace zarvo {
namespace {

class PictureReaderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
};

// What phones and cameras take today is read for every maker, decoded no
// larger than what is made of it needs.
TEST_F(PictureReaderTest, PhotosOfTodaysSizesMakeEveryFile) {
    {
        // A phone's 50 megapixels: orange left half, blue right half.
        QImage photo(8160, 6120, QImage::Format_RGB32);
        photo.fill(QColor(230, 120, 20));
        QPainter(&photo).fillRect(QRect(4080, 0, 4080, 6120), QColor(20, 60, 200));
        ASSERT_TRUE(photo.save(path("phone.jpg"), "JPEG", 85));
    }
    const PictureReader reader(path("phone.jpg"));
    EXPECT_EQ(reader.size(), QSize(8160, 6120));
    // A screen of 533 x 400 square pixels, with half as many lines again.
    EXPECT_EQ(reader.read(PictureNeed{QSizeF(533, 400), false, 1.5}).size(), QSize(1020, 765));

    const auto wallpaper = windowsBitmapOf(path("phone.jpg"), QSize(1600, 1200), Qt::black);
    ASSERT_TRUE(wallpaper);
    const QImage bitmap = QImage::fromData(QByteArray::fromStdString(*wallpaper), "BMP");
    EXPECT_EQ(bitmap.size(), QSize(1600, 1200));
    EXPECT_LT(qBlue(bitmap.pixel(1500, 600)), 220);
    EXPECT_GT(qBlue(bitmap.pixel(1500, 600)), 180);

    const std::string screenFile = screenFileFrom(path("phone.jpg"), ScreenOptions{});
    EXPECT_TRUE(screen::check(screenFile).fine());

    // 100 megapixels of PNG, decoded row by row into a smaller picture.
    {
        QImage drawing(12000, 8400, QImage::Format_Indexed8);
        drawing.setColorTable({qRgb(0, 128, 0), qRgb(255, 255, 255)});
        drawing.fill(0);
        ASSERT_TRUE(drawing.save(path("large.png"), "PNG"));
    }
    const auto icon = windows98IconOf(path("large.png"));
    ASSERT_TRUE(icon);
    EXPECT_EQ(screen::check(screenFileFrom(path("large.png"), ScreenOptions{})).problems,
              std::vector<std::string>());
}

// A picture too large to decode is refused with its size, not as damaged;
// a file cut short is refused, not shown half grey.
TEST_F(PictureReaderTest, TooLargeAndCutShortAreToldApart) {
    QImage picture(1000, 600, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(path("p.png")));
    ASSERT_TRUE(picture.save(path("p.jpg")));
    const int limit = pictureMemoryLimitMb();
    setPictureMemoryLimitMb(1);
    try {
        PictureReader(path("p.png")).read();
        ADD_FAILURE() << "read within 1 MB";
    } catch (const PictureError& error) {
        EXPECT_EQ(error.kind(), PictureError::Kind::TooLarge);
        EXPECT_EQ(error.size(), QSize(1000, 600));
    }
    // Decoded at an eighth, the JPEG fits.
    EXPECT_EQ(PictureReader(path("p.jpg")).read(PictureNeed{QSizeF(125, 75)}).size(),
              QSize(125, 75));
    setPictureMemoryLimitMb(limit);

    QFile cut(path("p.png"));
    cut.resize(cut.size() / 2);
    try {
        PictureReader(path("p.png")).read();
        ADD_FAILURE() << "a PNG cut short read";
    } catch (const PictureError& error) {
        EXPECT_EQ(error.kind(), PictureError::Kind::Input) << error.what();
    }
}

}  // namespace
}  // namespace zarvo
