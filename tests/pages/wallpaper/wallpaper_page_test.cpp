#include "pages/wallpaper/wallpaper_page.h"

#include <QImage>
#include <QImageWriter>
#include <fstream>
#include <iterator>

#include "pictures/picture_reader.h"
#include "support/fixture.h"
#include "support/picture_bytes.h"
#include "system/linux/host_store.h"

namespace zarvo::test {
namespace {

class WallpaperPageTest : public ProgramTest {
protected:
    static std::string encode(Qt::GlobalColor colour, const char* format) {
        QImage image(8, 4, QImage::Format_RGB32);
        image.fill(colour);
        return fileBytes(image, format);
    }
    void writeBitmap(const std::string& windowsPath, Qt::GlobalColor colour) {
        writeHost(windowsPath, encode(colour, "BMP"));
    }
    void open(const QString& answer) {
        answer.isNull() ? ui->answerCancel() : ui->answerOpen(answer);
        click("Command7");
    }
    std::string storeBytes() {
        std::ifstream in(registryStore, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    QImage preview() { return find<PictureBox>("Image5")->picture(); }
    // The one message shown since the last look, as "text|style|title".
    QString message() {
        const auto shown = messages();
        ui->clearMessages();
        if (shown.size() != 1) return QString::number(shown.size()) + " messages";
        return QStringLiteral("%1|%2|%3")
            .arg(shown[0].text)
            .arg(shown[0].style)
            .arg(shown[0].title);
    }
    // The wallpaper as the registry and WIN.INI both hold it, "(none)" otherwise.
    std::string wallpaper() {
        const auto value =
            RegistryStore(hostStoreFile(registryStore.string()))
                .readString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper");
        const std::string ini = readHost("C:\\Windows\\WIN.INI");
        const auto section = ini.find("[Desktop]");
        if (!value || section == std::string::npos ||
            ini.find("Wallpaper=" + *value + "\r\n", section) == std::string::npos)
            return "(none)";
        return *value;
    }
};

TEST_F(WallpaperPageTest, ChosenBitmapIsPreviewedStretchedAndBecomesTheWallpaper) {
    writeBitmap("C:\\Red.bmp", Qt::red);
    click("Option2");
    open("C:\\Red.bmp");
    EXPECT_EQ(ui->openRequests().at(0).dialogName, "CommonDialog2");
    EXPECT_EQ(field("Text4"), "C:\\Red.bmp");
    const QImage shown =
        find<PictureBox>("Image5")->grab().toImage();  // the box filled edge to edge
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(shown.width() - 3, shown.height() - 3), QColor(Qt::red));
    EXPECT_TRUE(messages().empty());
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(wallpaper(), "C:\\Red.bmp");
}

TEST_F(WallpaperPageTest, WhatIsNoWholePictureIsRefusedAndARefusalWritesNothing) {
    writeBitmap("C:\\Red.bmp", Qt::red);
    open("C:\\Red.bmp");
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    const std::string store = storeBytes();
    const std::string winIni = readHost("C:\\Windows\\WIN.INI");
    ASSERT_FALSE(store.empty());

    const std::string bitmap = encode(Qt::blue, "BMP");
    // Whatever the name says; a missing file says nothing on opening.
    const std::pair<const char*, std::string> refused[] = {
        {"C:\\Notes.bmp", "not a picture"},
        {"C:\\Half.bmp", bitmap.substr(0, bitmap.size() / 2)},
        {"C:\\Gone.bmp", ""}};
    for (const auto& [path, bytes] : refused) {
        if (!bytes.empty()) writeHost(path, bytes);
        open(path);
        EXPECT_EQ(field("Text4"), path);
        ui->clearMessages();
        click("Command6");
        EXPECT_EQ(message(), "Не удалось установить фон|48|Zarvo") << path;
        EXPECT_EQ(storeBytes(), store) << path;
        EXPECT_EQ(readHost("C:\\Windows\\WIN.INI"), winIni) << path;
    }
    EXPECT_FALSE(existsOnDrive("C:\\Program Files\\Zarvo\\Wallpaper"));

    open("C:\\Notes.bmp");
    EXPECT_EQ(message(), "Испорчена картинка|0|Zarvo");
    writeHost("C:\\Notes.bmp", bitmap);  // it may have become a bitmap since
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(wallpaper(), "C:\\Notes.bmp");

    // A fine picture too large to decode is told with its size; the memory
    // a picture may take is lowered so that a small one is enough.
    const int limit = pictureMemoryLimitMb();
    setPictureMemoryLimitMb(1);
    QImage large(1000, 600, QImage::Format_RGB32);
    large.fill(Qt::darkCyan);
    large.save(QString::fromStdString(host("C:\\Large.png").string()));
    open("C:\\Large.png");
    EXPECT_EQ(message(), "Слишком большая картинка: 1000 x 600 точек|48|Zarvo");
    click("Command6");
    EXPECT_EQ(message(), "Не удалось установить фон|48|Zarvo");
    setPictureMemoryLimitMb(limit);
}

// Windows 98 draws only bitmaps as wallpaper: any other picture becomes a
// 24-bit bitmap in the program's Wallpaper folder, no larger than 1600 x
// 1200, see-through parts in the desktop's teal, and the values name it.
TEST_F(WallpaperPageTest, AnyPictureBecomesABitmapCopyInTheWallpaperFolder) {
    const auto picture = [](QSize size, const char* format) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width() / 2; ++x) image.setPixelColor(x, y, Qt::red);
        return fileBytes(image, format);
    };
    // The copy's header and a pixel of each half, top row first.
    const auto copy = [&](const std::string& path) {
        const std::string bytes = readHost(path);
        const QImage image = QImage::fromData(QByteArray::fromStdString(bytes), "BMP");
        return QStringLiteral("%1 bits %2x%3 left %4 right %5")
            .arg(int(static_cast<unsigned char>(bytes.at(28))))
            .arg(image.width())
            .arg(image.height())
            .arg(image.pixelColor(0, 0).name(), image.pixelColor(image.width() - 1, 0).name());
    };
    const std::string folder = "C:\\Program Files\\Zarvo\\Wallpaper\\";
    click("Option2");

    writeHost("C:\\Clear.png", picture(QSize(40, 30), "PNG"));
    const std::string png = readHost("C:\\Clear.png");
    open("C:\\Clear.png");
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(wallpaper(), folder + "Clear.bmp");
    EXPECT_EQ(copy(folder + "Clear.bmp"), "24 bits 40x30 left #ff0000 right #008080");
    EXPECT_EQ(readHost("C:\\Clear.png"), png);  // the chosen file stays as it was

    // A photo larger than the screen is scaled to fit it, its aspect kept.
    writeHost("C:\\Wide.jpg", picture(QSize(3200, 1000), "JPEG"));
    open("C:\\Wide.jpg");
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(copy(folder + "Wide.bmp").left(21), "24 bits 1600x500 left");
    // Stretched over the screen in both places, whatever its resolution.
    RegistryStore store(hostStoreFile(registryStore.string()));
    for (const char* name : {"WallpaperStyle", "TileWallpaper"}) {
        const auto value = store.readString(hkey::CurrentUser, "Control Panel\\Desktop", name);
        EXPECT_EQ(value, name[0] == 'W' ? "2" : "0") << name;
        EXPECT_NE(readHost("C:\\Windows\\WIN.INI").find(std::string(name) + "=" + *value),
                  std::string::npos);
    }

    // An identical copy is used again; another picture of that name never
    // takes its place.
    open("C:\\Clear.png");
    click("Command6");
    EXPECT_EQ(wallpaper(), folder + "Clear.bmp");
    writeHost("C:\\Clear.jpg", picture(QSize(20, 10), "JPEG"));
    open("C:\\Clear.jpg");
    click("Command6");
    EXPECT_EQ(wallpaper(), folder + "Clear~2.bmp");
    EXPECT_EQ(copy(folder + "Clear.bmp"), "24 bits 40x30 left #ff0000 right #008080");
    ui->clearMessages();

    ASSERT_TRUE(QImageWriter::supportedImageFormats().contains("webp"))
        << "Qt's WebP plugin is missing: install qt6-image-formats-plugins";
    writeHost("C:\\Web.webp", picture(QSize(16, 8), "WEBP"));
    open("C:\\Web.webp");
    EXPECT_TRUE(messages().empty());  // previewed
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(copy(folder + "Web.bmp").left(15), "24 bits 16x8 le");
}

// The Фон page offers pictures of every kind after its bitmaps; the screen
// pages screen files too; each page's own filter stays first, and is all the
// shared dialog keeps.
TEST_F(WallpaperPageTest, EachPageOffersPicturesAfterItsOwnFilter) {
    open(QString());
    ui->answerCancel();
    click("Command14");
    ASSERT_EQ(ui->openRequests().size(), 2u);
    EXPECT_EQ(ui->openRequests()[0].filter,
              "BitMap(*.bmp)|*.bmp|Рисунки(*.jpg;*.jpeg;*.png;*.webp;*.gif;*.tif;*.tiff;*.svg)|"
              "*.jpg;*.jpeg;*.png;*.webp;*.gif;*.tif;*.tiff;*.svg|");
    EXPECT_EQ(ui->openRequests()[1].filter,
              "BitMap(*.bmp)|*.bmp|Рисунки(*.jpg;*.jpeg;*.png;*.webp;*.gif;*.tif;*.tiff;*.svg)|"
              "*.jpg;*.jpeg;*.png;*.webp;*.gif;*.tif;*.tiff;*.svg|Заставки(*.sys)|*.sys|");
    EXPECT_EQ(find<CommonDialog>("CommonDialog2")->filter(), "BitMap(*.bmp)|*.bmp|");
}

TEST_F(WallpaperPageTest, CancelGoesOnWithTheNameTheSharedDialogRemembers) {
    open(QString());  // nothing ever chosen: empty preview, empty path
    EXPECT_TRUE(preview().isNull());
    EXPECT_EQ(field("Text4"), "");
    writeBitmap("C:\\Blue.bmp", Qt::blue);
    ui->answerOpen("C:\\Blue.bmp");
    click("Command14");  // chosen on the Boot picture page
    open(QString());
    EXPECT_EQ(preview().pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(field("Text4"), "C:\\Blue.bmp");
    EXPECT_TRUE(messages().empty());
}

TEST_F(WallpaperPageTest, EmptyPathRemovesTheWallpaper) {
    RegistryStore(hostStoreFile(registryStore.string()))
        .storeString(hkey::CurrentUser, "Control Panel\\Desktop", "Wallpaper", "C:\\Old.bmp");
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(wallpaper(), "");
}

}  // namespace
}  // namespace zarvo::test
