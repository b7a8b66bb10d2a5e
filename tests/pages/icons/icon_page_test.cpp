#include "pages/icons/icon_page.h"

#include <QAbstractItemView>
#include <QBuffer>
#include <QComboBox>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <fstream>
#include <iterator>
#include <set>
#include <tuple>

#include "formats/cp1251.h"
#include "support/fixture.h"
#include "support/icon_bytes.h"
#include "support/picture_bytes.h"
#include "system/linux/host_store.h"
#include "widgets/controls.h"
#include "widgets/error_dispatch.h"

namespace zarvo::test {
namespace {

const char* const kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
const char* const kCache = "C:\\WINDOWS\\ShellIconCache";
const QString kStored = "После выбора всех иконок перезагрузитесь!!!";

class IconPageTest : public ProgramTest {
protected:
    // A pick from the opened list with the keyboard.
    void choose(int row) {
        auto* combo = find<QComboBox>("Combo1");
        combo->showPopup();
        combo->view()->setCurrentIndex(combo->model()->index(row, 0));
        QTest::keyClick(combo->view(), Qt::Key_Return);
    }
    void choose(const QString& text) { choose(find<QComboBox>("Combo1")->findText(text)); }
    void expectSlot(const char* slot, int previewId) {
        EXPECT_EQ(field("Text1"), slot);
        EXPECT_EQ(find<PictureBox>("Image1")->picture(), ui->resourceIcon(previewId)) << slot;
    }
    void open(const std::string& path) {
        ui->answerOpen(QString::fromStdString(path));
        click("Command1");
    }
    // An icon (the program's own) or a small bitmap, `shade` telling bitmaps apart.
    void makePicture(const std::string& path, int shade = -1) {
        system->createDirectory(path.substr(0, path.rfind('\\')));
        if (shade < 0) return system->copyFile("C:\\Program Files\\Zarvo\\ico\\1.ico", path);
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(QColor(shade, 0, 0));
        image.save(QString::fromStdString(host(path).string()), "BMP");
    }
    std::optional<std::string> value(const std::string& name) {
        return RegistryStore(hostStoreFile(registryStore.string()))
            .readString(hkey::LocalMachine, kKey, name);
    }
    std::string storeBytes() {
        std::ifstream in(registryStore, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Value names under the key in file order, each as often as it occurs.
    std::vector<std::string> valueNames() {
        const std::string text = cp1251::toUtf8(storeBytes());
        std::vector<std::string> names;
        std::size_t at = text.find(std::string("[HKEY_LOCAL_MACHINE\\") + kKey + "]\r\n");
        for (at = text.find('\n', at) + 1; at && at < text.size() && text[at] == '"';
             at = text.find('\n', at) + 1)
            names.push_back(text.substr(at + 1, text.find('"', at + 1) - at - 1));
        return names;
    }
    void expectOnly(const QString& text, int style = 0, const QString& title = "Zarvo") {
        ASSERT_EQ(messages().size(), 1u) << messages().size();
        EXPECT_EQ(messages()[0].text, text);
        EXPECT_EQ(messages()[0].style, style);
        EXPECT_EQ(messages()[0].title, title);
        ui->clearMessages();
    }
    void expectReport(int number) {
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_TRUE(
            messages()[0].text.startsWith(errorReportText(Error(number)).section('\n', 0, 0)))
            << messages()[0].text.toStdString();
        ui->clearMessages();
    }
};

// What icotool (icoutils) lists of an icon file: "16x4" for a 16 x 16 image
// of 4 bits per pixel; nullopt without icotool.
std::optional<QStringList> icotoolImages(const std::filesystem::path& file) {
    QProcess icotool;
    icotool.start(QStringLiteral("icotool"), {QStringLiteral("-l"), QString::fromStdString(file)});
    if (!icotool.waitForFinished()) return std::nullopt;
    QStringList images;
    const QRegularExpression image(QStringLiteral("--width=(\\d+) .*--bit-depth=(\\d+)"));
    for (const QString& line : QString::fromUtf8(icotool.readAllStandardOutput()).split('\n')) {
        const QRegularExpressionMatch match = image.match(line);
        if (match.hasMatch()) images << match.captured(1) + 'x' + match.captured(2);
    }
    return images;
}

TEST_F(IconPageTest, IconsWindows98CannotShowAreStoredAsIconsMadeFromThem) {
    const std::string folder = "C:\\Program Files\\Zarvo\\ico";
    auto folderFiles = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(host(folder)))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> before = folderFiles();
    makePicture("C:\\Icons\\fine.ico");
    open("C:\\Icons\\fine.ico");
    click("Command2");
    EXPECT_EQ(value("0"), "C:\\Icons\\fine.ico");
    EXPECT_EQ(folderFiles(), before);
    ui->clearMessages();

    // A Vista icon of one PNG image, and an XP icon whose mask is empty.
    const std::string png = test::pngOfSquare(64, QRect(8, 8, 48, 48), QColor(200, 30, 30));
    writeHost("C:\\Icons\\Vista.ico", test::iconFileOf({{64, 64, 32, png}}));
    writeHost("C:\\Icons\\XP.ico",
              test::iconFileOf({test::argbImage(16, 16, test::discPixels(16, 0xffc81e1e)),
                                test::argbImage(32, 32, test::discPixels(32, 0xffc81e1e))}));

    // A PNG that is no icon at all is made into one too.
    writeHost("C:\\Icons\\trash.png", png);

    const QStringList smaller = {"16x4", "16x8", "32x4", "32x8"};
    const QStringList all = smaller + QStringList{"48x4", "48x8"};
    for (const auto& [name, madeName, images] :
         {std::tuple{"Vista.ico", "Vista.ico", all}, std::tuple{"XP.ico", "XP.ico", smaller},
          std::tuple{"trash.png", "trash.ico", all}}) {
        open(std::string("C:\\Icons\\") + name);
        click("Command2");
        expectOnly(kStored);
        const std::string made = folder + "\\" + madeName;
        EXPECT_EQ(value("0"), made);
        // Transparent around the picture, which keeps its colour.
        const QImage shown = ui->loadPicture(QString::fromStdString(made));
        EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0) << name;
        EXPECT_EQ(shown.pixelColor(16, 16), QColor(200, 30, 30)) << name;
        const auto listed = icotoolImages(host(made));
        ASSERT_TRUE(listed) << "icotool (icoutils) lists the icons: the test set-up installs it";
        EXPECT_EQ(*listed, images) << name;
    }
    // Stored again, the same icon is the same file.
    click("Command2");
    EXPECT_EQ(value("0"), folder + "\\trash.ico");
    EXPECT_EQ(folderFiles().size(), before.size() + 3);
}

TEST_F(IconPageTest, EveryListEntryStoresItsOwnSlotOnceAndNoSkippedNumber) {
    const std::vector<std::string> slotNumbers = {
        "0",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "13", "14", "18", "19",
        "20", "21", "22", "24", "27", "34", "35", "36", "37", "38", "43", "44", "45", "46",
        "51", "52", "53", "63", "64", "65", "66", "67", "68", "69", "73", "74"};
    makePicture("C:\\Icons\\all.ico");
    open("C:\\Icons\\all.ico");
    ASSERT_EQ(find<QComboBox>("Combo1")->count(), 40);
    for (int row = 0; row < 40; ++row) {
        choose(row);
        expectSlot(slotNumbers[row].c_str(), 200 + row);
        click("Command2");
    }
    EXPECT_EQ(messages().size(), 40u);
    // In list order, each once: a repeated or skipped-over number would show here.
    EXPECT_EQ(valueNames(), slotNumbers);
    EXPECT_EQ(value("73"), "C:\\Icons\\all.ico");
}

TEST_F(IconPageTest, OnlyAListChoiceSelectsASlotByItsExactText) {
    auto* combo = find<QComboBox>("Combo1");
    EXPECT_EQ(combo->currentText(), "Незарегистрированный файл");
    // At start the preview is the page's own three-image icon of that entry.
    EXPECT_EQ(field("Text1"), "0");
    EXPECT_EQ(find<PictureBox>("Image1")->picture().size(), QSize(32, 32));
    EXPECT_EQ(combo->itemText(17), "Выполнить меню пуск ");
    choose(17);
    expectSlot("24", 217);
    choose("Настройка в меню пуск");
    expectSlot("21", 215);
    choose("Системный файл");
    expectSlot("66", 234);
    choose("ScanDisk");
    expectSlot("73", 238);
    choose("Дефрагментация");
    expectSlot("74", 239);

    // Typing an entry's text, even with Enter, chooses nothing.
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "ScanDisk");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo->currentText(), "ScanDisk");
    expectSlot("74", 239);
    // Moving through the closed list with the keyboard does.
    QTest::keyClick(combo, Qt::Key_Up);
    expectSlot("73", 238);

    choose("Закрытая папка");
    choose("Закрытая папка");
    expectSlot("3", 201);
    choose(0);
    expectSlot("0", 200);
    EXPECT_TRUE(messages().empty());
}

TEST_F(IconPageTest, IcoStoresThePathAndBmpRenamesTheFileOnce) {
    const std::string icon = "C:\\Мои иконки\\Для папок\\Папка 1 .ico";
    makePicture(icon);
    choose("Закрытая папка");
    open(icon);
    EXPECT_EQ(find<PictureBox>("Image6")->picture(), ui->loadPicture(QString::fromStdString(icon)));
    click("Command2");
    EXPECT_EQ(value("3"), icon);
    EXPECT_TRUE(existsOnDrive(icon));
    expectOnly(kStored);
    EXPECT_TRUE(shown("Command25"));
    EXPECT_TRUE(ui->openRequests()[0].filter.startsWith(
        "Icon(*.ico)|*.ico|Bitmap(*.bmp)|*.bmp|Рисунки(*.jpg;"));

    const std::string bitmap = "C:\\Мои картинки\\Море и небо.bmp", renamed = bitmap + ".ico";
    makePicture(bitmap, 10);
    const std::string bytes = readHost(bitmap);
    click("Option5");
    choose("Жесткий диск");
    open(bitmap);
    makePicture(renamed);  // a file of the new name refuses the rename
    click("Command2");
    expectReport(58);
    EXPECT_EQ(value("8"), std::nullopt);
    system->deleteFile(renamed);

    click("Command2");
    EXPECT_FALSE(existsOnDrive(bitmap));
    EXPECT_EQ(readHost(renamed), bytes);
    EXPECT_EQ(value("8"), renamed);
    expectOnly(kStored);

    // Again without a new choice: the dialog still names the old file.
    const std::string before = storeBytes();
    choose("CD-ROM");
    click("Command2");
    expectReport(53);
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(readHost(renamed), bytes);
}

TEST_F(IconPageTest, RefusedStoresWriteAndRenameNothing) {
    const std::string emoji = "C:\\Icons\\улыбка 🙂.bmp";
    makePicture(emoji, 20);
    click("Command2");
    expectOnly("Введите корректный путь.", 48, "Zarvo's");
    ui->answerCancel();
    click("Command1");
    EXPECT_TRUE(find<PictureBox>("Image6")->picture().isNull());
    click("Option5");
    click("Command2");
    expectOnly("Введите корректный путь.", 48, "Zarvo's");
    EXPECT_FALSE(shown("Command25"));
    EXPECT_FALSE(std::filesystem::exists(registryStore));

    open(emoji);
    click("Command2");
    expectReport(52);
    EXPECT_TRUE(existsOnDrive(emoji));
    EXPECT_FALSE(existsOnDrive(emoji + ".ico"));
    click("Option4");
    makePicture("C:\\Icons\\图标.ico");
    open("C:\\Icons\\图标.ico");
    click("Command2");
    expectReport(52);
    EXPECT_FALSE(std::filesystem::exists(registryStore));
    EXPECT_FALSE(shown("Command25"));

    // A page without a registry writer, as before the window's load step or
    // after its unload step, refuses the store.
    CommonDialog pictures(QStringLiteral("CommonDialog2"), QStringLiteral("BitMap(*.bmp)|*.bmp|"));
    PageContext bare{*system, *ui, pictures, nullptr, {}};
    IconPage page(bare, nullptr);
    page.load();
    makePicture("C:\\Icons\\ok.ico");
    ui->answerOpen(QStringLiteral("C:\\Icons\\ok.ico"));
    page.openButton->click();
    page.storeButton->click();
    expectReport(91);
    EXPECT_FALSE(std::filesystem::exists(registryStore));
}

TEST_F(IconPageTest, OpenPreviewsAndACancelKeepsTheLastChoice) {
    // The built-in photo is decoded near the size it is shown, not whole.
    const QImage builtIn = find<PictureBox>("Image6")->picture();
    EXPECT_FALSE(builtIn.isNull());
    EXPECT_LT(builtIn.width(), 2 * find<PictureBox>("Image6")->width());
    writeHost("C:\\Windows\\broken.ico", "not a picture");
    open("C:\\Windows\\broken.ico");
    EXPECT_EQ(field("Text2"), "C:\\Windows\\broken.ico");
    expectOnly("Испорчена картинка");
    open("C:\\Windows\\gone.ico");
    EXPECT_EQ(field("Text2"), "C:\\Windows\\gone.ico");
    makePicture("C:\\Icons\\ok.ico");
    open("C:\\Icons\\ok.ico");
    ui->answerCancel();
    click("Command1");
    EXPECT_EQ(field("Text2"), "C:\\Icons\\ok.ico");
    EXPECT_EQ(find<PictureBox>("Image6")->picture(), ui->loadPicture("C:\\Icons\\ok.ico"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(IconPageTest, SeveralStoresBeforeOneRestartKeepEveryValue) {
    for (const char* name : {"a.ico", "b.ico", "c.ico"}) makePicture(std::string("C:\\I\\") + name);
    makePicture("C:\\I\\d.bmp", 30);
    open("C:\\I\\a.ico");
    click("Command2");  // before any choice: the slot the list shows
    choose("Открытая папка");
    open("C:\\I\\b.ico");
    click("Command2");
    click("Option5");
    choose("Гибкий диск 5'");
    open("C:\\I\\d.bmp");
    click("Command2");
    click("Option4");
    choose(0);
    open("C:\\I\\c.ico");
    click("Command2");
    click("Command25");
    EXPECT_EQ(restartRequests, 1);
    EXPECT_EQ(valueNames(), (std::vector<std::string>{"0", "4", "5"}));
    EXPECT_EQ(value("0"), "C:\\I\\c.ico");
    EXPECT_EQ(value("4"), "C:\\I\\b.ico");
    EXPECT_EQ(value("5"), "C:\\I\\d.bmp.ico");
}

TEST_F(IconPageTest, RestartDeletesTheIconCacheAndAlwaysAsksForTheRestart) {
    makePicture("C:\\Icons\\ok.ico");
    open("C:\\Icons\\ok.ico");
    click("Command2");  // reveals the button
    expectOnly(kStored);
    system->setAttributes(kCache, attr::ReadOnly | attr::Hidden | attr::System);
    click("Command25");
    EXPECT_FALSE(existsOnDrive(kCache));
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(restartRequests, 1);

    click("Command25");
    expectOnly("Еще не создан файл ShellIconCache");
    EXPECT_EQ(restartRequests, 2);

    system->createDirectory(kCache);  // present, but no file to delete
    click("Command25");
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(existsOnDrive(kCache));
    EXPECT_EQ(restartRequests, 3);

    std::filesystem::remove(host(kCache));
    system->writeNewFile(kCache, "cache");
    restartAnswer = false;
    click("Command25");
    expectOnly("Невозможно выйти из Windows");
    EXPECT_FALSE(existsOnDrive(kCache));
    EXPECT_EQ(restartRequests, 4);
}

}  // namespace
}  // namespace zarvo::test
