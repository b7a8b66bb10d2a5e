#include "pages/wallpaper/wallpaper_page.h"

#include <QBuffer>
#include <QImage>
#include <fstream>
#include <iterator>

#include "support/fixture.h"
#include "system/linux/host_store.h"

namespace zarvo::test {
namespace {

class WallpaperPageTest : public ProgramTest {
protected:
    static std::string encode(Qt::GlobalColor colour, const char* format) {
        QImage image(8, 4, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format)) << format;
        return bytes.toStdString();
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

TEST_F(WallpaperPageTest, OnlyABitmapBecomesTheWallpaperAndARefusalWritesNothing) {
    writeBitmap("C:\\Red.bmp", Qt::red);
    open("C:\\Red.bmp");
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    const std::string store = storeBytes();
    const std::string winIni = readHost("C:\\Windows\\WIN.INI");
    ASSERT_FALSE(store.empty());

    const std::string bitmap = encode(Qt::blue, "BMP");
    // Pictures Windows 98 cannot show as wallpaper are refused too, whatever
    // their name says; a missing file says nothing on opening.
    const std::pair<const char*, std::string> refused[] = {
        {"C:\\Notes.bmp", "not a picture"},
        {"C:\\Half.bmp", bitmap.substr(0, bitmap.size() / 2)},
        {"C:\\Photo.bmp", encode(Qt::blue, "JPEG")},
        {"C:\\Icon.bmp", encode(Qt::blue, "ICO")},
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
    EXPECT_EQ(preview().pixelColor(0, 0), QColor(Qt::blue));  // the JPEG and the icon were shown

    open("C:\\Notes.bmp");
    EXPECT_EQ(message(), "Испорчена картинка|0|Zarvo");
    writeHost("C:\\Notes.bmp", bitmap);  // it may have become a bitmap since
    click("Command6");
    EXPECT_EQ(message(), "Фон установлен|0|Zarvo");
    EXPECT_EQ(wallpaper(), "C:\\Notes.bmp");
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
