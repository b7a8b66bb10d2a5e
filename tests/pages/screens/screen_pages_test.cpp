#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "formats/screen_file.h"
#include "pages/screens/animated_boot_page.h"
#include "pages/screens/screen_file_page.h"
#include "support/fixture.h"
#include "support/picture_bytes.h"
#include "support/scoped_variable.h"

namespace zarvo::test {
namespace {

namespace fs = std::filesystem;
const std::string kFolder = "C:\\Program Files\\Zarvo\\Zarvo\\";
const std::string kSunset = "C:\\Pics\\Sunset.bmp";

struct PageCase {
    const char* name;
    const char* frame;
    std::string screenFile, programCopy;
};
const PageCase kPages[] = {
    {"Boot", "Frame6", "C:\\Logo.sys", "C:\\Program Files\\Zarvo\\Logo.sys"},
    {"Wait", "Frame7", "C:\\Windows\\Logow.sys", "C:\\Program Files\\Zarvo\\Logow.sys"},
    {"Shutdown", "Frame8", "C:\\Windows\\Logos.sys", "C:\\Program Files\\Zarvo\\Logos.sys"},
};

class ScreenPagesTest : public ProgramTest {
protected:
    ScreenFilePage& page(int n) { return *find<ScreenFilePage>(kPages[n].frame); }
    AnimatedBootPage& animated() { return *find<AnimatedBootPage>("Frame5"); }
    // A file of the user's, by default one of the program's 8-bit bitmaps.
    void put(const std::string& path, std::string bytes = {}) {
        fs::create_directories(host(path).parent_path());
        writeHost(path, bytes.empty() ? readHost(kFolder + "FIRE.BMP") : bytes);
    }
    void open(const std::string& path, int n) {
        ui->answerOpen(QString::fromStdString(path));
        page(n).openButton->click();
    }
    QStringList fields(int n) {
        const ScreenFilePage& p = page(n);
        return {p.pathField->text(), p.nameField->text(), p.stagingField->text()};
    }
    QStringList animatedFields() {
        return {field("Text5"), field("Text6"), field("Text7"), field("Text8")};
    }
    void choose(int index) {  // what a choice in the drop-down list does
        animated().pictureList->setCurrentIndex(index);
        emit animated().pictureList->activated(index);
    }
    bool last(const QString& text, int style, const QString& title = "Zarvo") {
        if (messages().empty()) return false;
        const auto m = messages().back();
        return (m.text == text || (style == 16 && m.text.contains(text))) && m.style == style &&
               m.title == title;
    }
    // The standard report of an error that no handler caught.
    bool reported(int number) { return last(QString::number(number), 16); }
    // Every file and folder on the drive, so that a leftover shows.
    std::set<fs::path> listing() {
        std::set<fs::path> entries;
        for (const auto& entry : fs::recursive_directory_iterator(driveRoot))
            entries.insert(entry.path().lexically_relative(driveRoot));
        return entries;
    }
    void diskFullAfter16KiB() {
        writeFault = [](std::size_t written) { return written >= 16 * 1024 ? ENOSPC : 0; };
    }
};

class ScreenFilePageTest : public ScreenPagesTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScreenFilePageTest, FullInstallReplacesTheScreenFileWithTheChosenOne) {
    const int n = GetParam();
    const std::string& screen = kPages[n].screenFile;
    put(kSunset);
    open(kSunset, n);
    EXPECT_EQ(page(n).preview->picture(), ui->loadPicture(QString::fromStdString(kSunset)));
    EXPECT_EQ(fields(n), QStringList({"C:\\Pics\\Sunset.bmp", "Sunset.bmp", "C:\\Sunset.bmp"}));
    EXPECT_TRUE(!page(n).step1->isHidden() && page(n).step2->isHidden());
    page(n).step1->click();
    EXPECT_EQ(readHost(screen), readHost(kPages[n].programCopy));
    EXPECT_TRUE(!page(n).step2->isHidden() && page(n).step3->isHidden());
    page(n).step2->click();
    EXPECT_FALSE(existsOnDrive(screen));
    EXPECT_FALSE(page(n).step3->isHidden());
    page(n).step3->click();
    EXPECT_EQ(readHost(screen), readHost(kSunset));
    EXPECT_FALSE(existsOnDrive("C:\\Sunset.bmp"));
    EXPECT_TRUE(last("Вступет в силу после перегрузки", 48, "Zarvo's"));
    EXPECT_EQ(messages().size(), 1u);
}

// A photo becomes a screen file Windows 98 shows, made in the program's
// Screens folder; the photo stays as it was. A bitmap of any size goes in
// byte for byte, as it always has.
TEST_P(ScreenFilePageTest, APictureThatIsNoBitmapIsInstalledAsAScreenFileMadeOfIt) {
    const int n = GetParam();
    const std::string& screen = kPages[n].screenFile;
    const std::string photo = "C:\\Pics\\holiday.jpg";
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    QPainter(&picture).fillRect(QRect(100, 100, 300, 200), QColor(30, 90, 200));
    const std::string jpeg = fileBytes(picture, "JPEG");
    put(photo, jpeg);
    open(photo, n);
    EXPECT_TRUE(messages().empty());  // previewed, nothing to tell yet
    EXPECT_FALSE(page(n).preview->picture().isNull());
    page(n).step1->click();
    page(n).step2->click();
    page(n).step3->click();
    EXPECT_TRUE(last("Вступет в силу после перегрузки", 48, "Zarvo's"));

    const std::string installed = readHost(screen);
    const screen::Check check = screen::check(installed);
    EXPECT_TRUE(check.fine()) << (check.problems.empty() ? "" : check.problems.front());
    EXPECT_EQ(check.bandStart, n == 0 ? 0xEC : 0);
    EXPECT_EQ(readHost(photo), jpeg);
    EXPECT_EQ(readHost("C:\\Program Files\\Zarvo\\Screens\\holiday.sys"), installed);
    EXPECT_FALSE(existsOnDrive("C:\\holiday.jpg"));

    // A large 24-bit bitmap is the user's to install as it is.
    QImage large(1024, 768, QImage::Format_RGB888);
    large.fill(QColor(10, 200, 90));
    const std::string bmp = fileBytes(large, "BMP");
    put("C:\\Pics\\Large.bmp", bmp);
    open("C:\\Pics\\Large.bmp", n);
    page(n).step1->click();
    page(n).step2->click();
    page(n).step3->click();
    EXPECT_EQ(readHost(screen), bmp);
}

TEST_P(ScreenFilePageTest, StepTwoThatFailsLeavesTheDriveAsItFoundIt) {
    const int n = GetParam();
    const std::string& screen = kPages[n].screenFile;
    ui->answerCancel();  // no choice ever made
    page(n).openButton->click();
    EXPECT_TRUE(page(n).preview->picture().isNull());
    EXPECT_EQ(fields(n), QStringList({"", "", "C:\\"}));
    page(n).step1->click();
    const std::string installed = readHost(screen);
    fs::create_directories(host("C:\\Pics\\Folder.bmp"));
    const auto drive = listing();
    const std::pair<std::string, int> unusable[] = {
        {"", 53}, {kSunset, 53}, {"C:\\Pics\\Folder.bmp", 75}, {screen, 53}};
    for (const auto& [path, number] : unusable) {
        if (!path.empty()) open(path, n);  // Sunset.bmp is not there
        const QStringList before = fields(n);
        page(n).step2->click();
        EXPECT_TRUE(reported(number)) << path;
        EXPECT_EQ(readHost(screen), installed) << path;
        EXPECT_EQ(fields(n), before);
        EXPECT_TRUE(page(n).step3->isHidden());
    }
    EXPECT_EQ(listing(), drive);

    // Failures that come once the copy is under way or done: the disk fills
    // up, or the screen file will not go.
    put(kSunset);
    open(kSunset, n);
    const auto withSunset = listing();
    const QStringList before = fields(n);
    diskFullAfter16KiB();
    page(n).step2->click();
    EXPECT_TRUE(reported(61));
    writeFault = nullptr;
    fs::permissions(host(screen), fs::perms::owner_read);
    page(n).step2->click();
    EXPECT_TRUE(reported(75));
    fs::permissions(host(screen), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readHost(screen), installed);
    EXPECT_EQ(listing(), withSunset);
    EXPECT_EQ(fields(n), before);
    EXPECT_TRUE(page(n).step3->isHidden());

    for (auto* step : {page(n).step2, page(n).step3}) step->click();
    EXPECT_EQ(readHost(screen), readHost(kSunset));
}

TEST_P(ScreenFilePageTest, StagingNeverReplacesOrMovesTheUsersOwnFiles) {
    const int n = GetParam();
    const std::string& screen = kPages[n].screenFile;
    const std::string picture = "C:\\Pics\\sea.bmp";
    put(picture);
    put("C:\\sea.bmp", "the user's own sea");
    put("C:\\sea.bmp.zarvo", "a name the user took too");
    open(picture, n);
    for (auto* step : {page(n).step1, page(n).step2}) step->click();
    EXPECT_FALSE(existsOnDrive(screen));
    EXPECT_EQ(page(n).stagingField->text(), "C:\\sea.bmp.zarvo2");
    page(n).step3->click();
    EXPECT_EQ(readHost(screen), readHost(picture));
    EXPECT_FALSE(existsOnDrive("C:\\sea.bmp.zarvo2"));

    // The user's file in C:\ chosen itself is copied, never moved.
    open("C:\\sea.bmp", n);
    for (auto* step : {page(n).step1, page(n).step2, page(n).step3}) step->click();
    EXPECT_EQ(readHost(screen), "the user's own sea");
    EXPECT_EQ(readHost("C:\\sea.bmp"), "the user's own sea");
    EXPECT_EQ(readHost("C:\\sea.bmp.zarvo"), "a name the user took too");

    // With nothing of its own staged, step "3" finds nothing to move, even
    // with the screen file gone and the user's file under the staging name.
    fs::remove(host(screen));
    page(n).step3->click();
    EXPECT_TRUE(reported(53));
    EXPECT_FALSE(existsOnDrive(screen));
    EXPECT_EQ(readHost("C:\\sea.bmp"), "the user's own sea");

    // The page's own copy from an earlier step "2" is its to replace.
    page(n).step1->click();
    auto expected = listing();
    expected.erase(host(screen).lexically_relative(driveRoot));
    expected.insert("sea.bmp.zarvo2");
    expected.insert("Program Files/Zarvo/STAGED.INI");  // the copy is the page's own
    open(picture, n);
    for (auto* step : {page(n).step2, page(n).step1, page(n).step2}) step->click();
    EXPECT_EQ(page(n).stagingField->text(), "C:\\sea.bmp.zarvo2");
    EXPECT_EQ(listing(), expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, ScreenFilePageTest, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(kPages[info.param].name); });

TEST_F(ScreenPagesTest, NoPictureKeepsThePreviewAndCancelGoesOnWithAnyPagesChoice) {
    const QImage builtIn = page(1).preview->picture();
    put("C:\\notes.bmp", "just some text");
    open("C:\\notes.bmp", 1);
    EXPECT_TRUE(last("Испорчена картинка", 0));
    open("C:\\missing.bmp", 1);  // unreadable: no message
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(page(1).preview->picture(), builtIn);
    ui->answerCancel();
    page(2).openButton->click();  // goes on with the Wait page's choice
    EXPECT_EQ(fields(2), QStringList({"C:\\missing.bmp", "missing.bmp", "C:\\missing.bmp"}));
    open("C:\\notes.bmp", 2);
    for (auto* step : {page(2).step1, page(2).step2, page(2).step3}) step->click();
    EXPECT_EQ(readHost("C:\\Windows\\Logos.sys"), "just some text");
    for (const auto& request : ui->openRequests()) EXPECT_EQ(request.dialogName, "CommonDialog2");
}

TEST_F(ScreenPagesTest, StepsClickedAgainOrOutOfOrderReportAndStop) {
    put(kSunset);
    open(kSunset, 0);
    for (auto* step : {page(0).step1, page(0).step2}) step->click();
    form().setWindowTitle("Zarvo's 2");
    page(0).step3->click();
    EXPECT_TRUE(last("Вступет в силу после перегрузки", 48, "Zarvo's 2"));
    page(0).step3->click();  // nothing staged any more
    EXPECT_TRUE(reported(53));
    page(0).step2->click();
    page(0).step2->click();  // no "1" between: nothing left to delete
    EXPECT_TRUE(reported(53));
    page(0).step1->click();  // a screen file in the way of the rename
    page(0).step3->click();
    EXPECT_TRUE(reported(58));
    EXPECT_TRUE(existsOnDrive("C:\\Sunset.bmp"));
    EXPECT_EQ(messages().size(), 4u);
}

TEST_F(ScreenPagesTest, CopiesTrimSpacesAndTheFieldsShowTheNameUsed) {
    put(kSunset + " ", "with a blank");
    put(kSunset, "without");
    open(kSunset + " ", 0);
    for (auto* step : {page(0).step1, page(0).step2}) step->click();
    EXPECT_EQ(page(0).stagingField->text(), "C:\\Sunset.bmp");
    page(0).step3->click();
    EXPECT_EQ(readHost("C:\\Logo.sys"), "without");
    EXPECT_FALSE(existsOnDrive("C:\\Sunset.bmp"));

    click("Command9");
    animated().pictureList->setEditText("FIRE.BMP ");
    click("Command10");
    EXPECT_EQ(field("Text6"), "C:\\FIRE.BMP");
    click("Command11");
    EXPECT_EQ(readHost("C:\\Logo.sys"), readHost(kFolder + "FIRE.BMP"));
}

TEST_F(ScreenPagesTest, AnimatedListPreviewsFromThePicturesFolderOnAChoiceOnly) {
    QComboBox* combo = animated().pictureList;
    ASSERT_EQ(combo->count(), 14);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->itemText(13), "BABYLON5.BMP");
    EXPECT_EQ(combo->currentText(), "BABYLON5.BMP");
    choose(2);
    const QImage fire = ui->loadPicture(QString::fromStdString(kFolder) + "FIRE.BMP");
    EXPECT_EQ(animated().preview->picture(), fire);
    QTest::keyClicks(combo->lineEdit(), "X");
    writeHost(kFolder + "WAVES.BMP", "not a picture");
    choose(combo->findText("WAVES.BMP"));
    EXPECT_TRUE(last("Испорчена картинка", 0));
    fs::remove(host(kFolder + "OCEAN.BMP"));
    choose(combo->findText("OCEAN.BMP"));
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(animated().preview->picture(), fire);

    choose(2);
    click("Command9");
    click("Command10");  // leaves folder and name in Text8
    choose(0);
    EXPECT_EQ(animated().preview->picture(),
              ui->loadPicture(QString::fromStdString(kFolder) + "AURORA.BMP"));
}

// MSDOS.SYS goes to the desktop's editor through xdg-open. Without it the
// user learns where the file is, unless that is the temporary copy of a
// file inside an image, and what to install.
TEST_F(ScreenPagesTest, MsdosSysOpensThroughXdgOpenOrSaysWhatToInstall) {
    for (const char* folder : {"bin", "empty", "tmp"}) fs::create_directories(root / folder);
    std::ofstream(root / "bin/xdg-open") << "#!/bin/sh\n";
    fs::permissions(root / "bin/xdg-open", fs::perms::owner_all);
    const QString msdos = QString::fromStdString(host("C:\\Msdos.sys").string());
    {
        ScopedVariable path("PATH", (root / "bin").string());
        click("Command12");
        ASSERT_EQ(spawned.size(), 1u);
        EXPECT_EQ(spawned[0].back(), msdos.toStdString());
        EXPECT_TRUE(messages().empty());
    }

    ScopedVariable path("PATH", (root / "empty").string());
    {
        ScopedVariable temporary("TMPDIR", (root / "tmp").string());
        click("Command12");
        EXPECT_TRUE(last(QStringLiteral("Нечем открыть C:\\Msdos.sys: нет программы xdg-open.\n"
                                        "Файл: %1\n"
                                        "Установите пакет xdg-utils.")
                             .arg(msdos),
                         48, "Zarvo's"));
    }
    ScopedVariable temporary("TMPDIR", root.string());
    click("Command12");
    EXPECT_TRUE(
        last("Нечем открыть C:\\Msdos.sys: нет программы xdg-open.\n"
             "Установите пакет xdg-utils.",
             48, "Zarvo's"));
    EXPECT_EQ(spawned.size(), 1u);
}

TEST_F(ScreenPagesTest, AnimatedStepsInstallATypedNameAndRepeatedStepsReport) {
    click("Command9");
    EXPECT_EQ(readHost("C:\\Logo.sys"), readHost("C:\\Program Files\\Zarvo\\Logo.sys"));
    EXPECT_TRUE(shown("Command10") && !shown("Command11"));
    animated().pictureList->setEditText("FIRE.BMP");
    click("Command10");
    EXPECT_FALSE(existsOnDrive("C:\\Logo.sys"));
    EXPECT_EQ(animatedFields(), QStringList({"C:\\FIRE.BMP", "C:\\FIRE.BMP", "C:\\Logo.sys",
                                             QString::fromStdString(kFolder) + "FIRE.BMP"}));
    EXPECT_TRUE(shown("Command11"));
    click("Command11");
    EXPECT_EQ(readHost("C:\\Logo.sys"), readHost(kFolder + "FIRE.BMP"));
    EXPECT_FALSE(existsOnDrive("C:\\FIRE.BMP"));
    EXPECT_TRUE(last("Все! Не забудте перезагрузиться.", 64, "Zarvo's"));
    // Nothing staged any more: a file of the user's under the old name stays.
    fs::remove(host("C:\\Logo.sys"));
    writeHost("C:\\FIRE.BMP", "mine");
    click("Command11");
    EXPECT_TRUE(reported(53));
    EXPECT_FALSE(existsOnDrive("C:\\Logo.sys"));
    click("Command9");
    click("Command10");
    click("Command9");  // "C:\Logo.sys" in the way of the rename
    click("Command11");
    EXPECT_TRUE(reported(58));
    EXPECT_EQ(messages().size(), 3u);
    EXPECT_EQ(readHost("C:\\FIRE.BMP"), "mine");
}

TEST_F(ScreenPagesTest, AnimatedStepTwoRefusalsLeaveTheDriveAsItFoundIt) {
    const QStringList initial = animatedFields();
    click("Command9");
    fs::remove(host("C:\\Logo.sys"));
    click("Command10");
    EXPECT_TRUE(last("Не нахожу файл logo.sys", 0));
    click("Command9");
    const std::string installed = readHost("C:\\Logo.sys");
    const std::string winIni = readHost("C:\\Windows\\WIN.INI");
    writeHost("C:\\FIRE.BMP", "kept");
    fs::permissions(host("C:\\FIRE.BMP"), fs::perms::owner_read);
    const auto drive = listing();
    const QString missing = "Не нахожу файл logo.sys";
    // Names that lead out of the pictures folder are no picture of it.
    const std::tuple<QString, QString, int> refused[] = {
        {"", "Введите корректный путь.", 48},
        {"   ", "Введите корректный путь.", 48},
        {"NOPE.BMP", missing, 0},
        {" FIRE.BMP", missing, 0},
        {"..\\..\\..\\Windows\\WIN.INI", missing, 0},
        {"..\\Zarvo\\FIRE.BMP", missing, 0},
        {"../Zarvo/FIRE.BMP", missing, 0},
        {"C:\\Windows\\WIN.INI", missing, 0},
        {"C:FIRE.BMP", missing, 0},
        {".", missing, 0},
        {"..", missing, 0},
        {"FIRE.BMP", "", 0}};  // the disk fills up: silent
    for (const auto& [name, text, style] : refused) {
        ui->clearMessages();
        if (text.isEmpty()) diskFullAfter16KiB();
        animated().pictureList->setEditText(name);
        click("Command10");
        EXPECT_TRUE(text.isEmpty() ? messages().empty()
                                   : last(text, style, style ? "Zarvo's" : "Zarvo"))
            << name.toStdString();
        EXPECT_EQ(readHost("C:\\Logo.sys"), installed);
        EXPECT_EQ(readHost("C:\\Windows\\WIN.INI"), winIni);
        EXPECT_EQ(listing(), drive) << name.toStdString();
        EXPECT_EQ(animatedFields(), initial);
        EXPECT_FALSE(shown("Command11"));
    }

    // The user's read-only C:\FIRE.BMP is in the way: staged beside it.
    writeFault = nullptr;
    click("Command10");
    EXPECT_EQ(field("Text5"), "C:\\FIRE.BMP.zarvo");
    click("Command11");
    EXPECT_EQ(readHost("C:\\Logo.sys"), readHost(kFolder + "FIRE.BMP"));
    EXPECT_EQ(readHost("C:\\FIRE.BMP"), "kept");
    EXPECT_FALSE(existsOnDrive("C:\\FIRE.BMP.zarvo"));
}

TEST_F(ScreenPagesTest, PaletteBandRotatesWhileThePageIsShownAndStillPicturesStayStill) {
    AnimatedPictureBox& box = *animated().preview;
    const QImage first = box.picture();
    ASSERT_EQ(box.bandStart(), 200);
    box.advanceFrame();
    const QImage next = box.picture();
    for (int y = 0; y < first.height(); ++y)
        ASSERT_EQ(std::memcmp(first.constScanLine(y), next.constScanLine(y), first.width()), 0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(next.color(i), first.color(i < 200 ? i : i == 255 ? 200 : i + 1)) << i;
    for (int frame = 1; frame < 56; ++frame) box.advanceFrame();
    EXPECT_EQ(box.picture().colorTable(), first.colorTable());

    form().show();
    click("Option3");
    QTest::qWait(5 * AnimatedPictureBox::kFrameMilliseconds);
    EXPECT_NE(box.picture().colorTable(), first.colorTable());
    click("Option6");
    EXPECT_FALSE(box.playing());

    // Band byte 0, and a 24-bit picture with the byte set.
    writeHost(kFolder + "WAVES.BMP", readHost("C:\\Program Files\\Zarvo\\Logos.sys"));
    QImage rgb(8, 8, QImage::Format_RGB32);
    rgb.fill(Qt::red);
    rgb.save(QString::fromStdString(host(kFolder + "OCEAN.BMP").string()), "BMP");
    std::string bytes = readHost(kFolder + "OCEAN.BMP");
    bytes[0x32] = char(0xEC);
    writeHost(kFolder + "OCEAN.BMP", bytes);
    click("Option3");
    for (const char* still : {"WAVES.BMP", "OCEAN.BMP"}) {
        choose(animated().pictureList->findText(still));
        const QImage shown = box.picture();
        box.advanceFrame();
        EXPECT_EQ(box.picture(), shown) << still;
        EXPECT_FALSE(box.playing()) << still;
    }
}

}  // namespace
}  // namespace zarvo::test
