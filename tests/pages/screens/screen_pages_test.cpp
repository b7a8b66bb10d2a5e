#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "pages/screens/animated_boot_page.h"
#include "pages/screens/screen_file_page.h"
#include "support/fixture.h"

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

TEST_P(ScreenFilePageTest, StepTwoRefusesBeforeDeletingWhatItCannotReplace) {
    const int n = GetParam();
    ui->answerCancel();  // no choice ever made
    page(n).openButton->click();
    EXPECT_TRUE(page(n).preview->picture().isNull());
    EXPECT_EQ(fields(n), QStringList({"", "", "C:\\"}));
    page(n).step1->click();
    const std::string installed = readHost(kPages[n].screenFile);
    fs::create_directories(host("C:\\Pics\\Folder.bmp"));
    const std::pair<std::string, int> unusable[] = {
        {"", 53}, {kSunset, 53}, {"C:\\Pics\\Folder.bmp", 75}, {kPages[n].screenFile, 53}};
    for (const auto& [path, number] : unusable) {
        if (!path.empty()) open(path, n);  // Sunset.bmp is not there
        const QStringList before = fields(n);
        page(n).step2->click();
        EXPECT_TRUE(reported(number)) << path;
        EXPECT_EQ(readHost(kPages[n].screenFile), installed) << path;
        EXPECT_EQ(fields(n), before);
        EXPECT_TRUE(page(n).step3->isHidden());
    }
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

TEST_F(ScreenPagesTest, CopiesTrimSpacesAndRenamesTakeNamesAsTheyStand) {
    put(kSunset + " ", "with a blank");
    put(kSunset, "without");
    open(kSunset + " ", 0);
    for (auto* step : {page(0).step1, page(0).step2, page(0).step3}) step->click();
    EXPECT_EQ(readHost("C:\\Sunset.bmp"), "without");
    EXPECT_TRUE(reported(53));  // no "C:\Sunset.bmp " to rename
    writeHost("C:\\Sunset.bmp ", "staged by hand");
    page(0).step3->click();
    EXPECT_EQ(readHost("C:\\Logo.sys"), "staged by hand");

    click("Command9");
    animated().pictureList->setEditText("FIRE.BMP ");
    click("Command10");
    EXPECT_EQ(readHost("C:\\FIRE.BMP"), readHost(kFolder + "FIRE.BMP"));
    click("Command11");
    EXPECT_TRUE(reported(53));
    EXPECT_EQ(field("Text6"), "C:\\FIRE.BMP ");
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
    click("Command12");
    ASSERT_EQ(spawned.size(), 1u);
    EXPECT_EQ(spawned[0].back(), host("C:\\Msdos.sys").string());
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
    click("Command11");
    EXPECT_TRUE(reported(53));
    click("Command10");
    click("Command9");  // "C:\Logo.sys" in the way of the rename
    click("Command11");
    EXPECT_TRUE(reported(58));
    EXPECT_EQ(messages().size(), 3u);
}

TEST_F(ScreenPagesTest, AnimatedStepTwoRefusesBeforeDeletingTheBootPicture) {
    const QStringList initial = animatedFields();
    click("Command9");
    fs::remove(host("C:\\Logo.sys"));
    click("Command10");
    EXPECT_TRUE(last("Не нахожу файл logo.sys", 0));
    click("Command9");
    const std::string installed = readHost("C:\\Logo.sys");
    writeHost("C:\\FIRE.BMP", "kept");
    fs::permissions(host("C:\\FIRE.BMP"), fs::perms::owner_read);
    const std::tuple<QString, QString, int> refused[] = {
        {"", "Введите корректный путь.", 48},
        {"NOPE.BMP", "Не нахожу файл logo.sys", 0},
        {" FIRE.BMP", "Не нахожу файл logo.sys", 0},
        {"FIRE.BMP", "", 0}};  // read-only staged copy in the way: silent
    for (const auto& [name, text, style] : refused) {
        ui->clearMessages();
        animated().pictureList->setEditText(name);
        click("Command10");
        EXPECT_TRUE(text.isEmpty() ? messages().empty()
                                   : last(text, style, style ? "Zarvo's" : "Zarvo"))
            << name.toStdString();
        EXPECT_EQ(readHost("C:\\Logo.sys"), installed);
        EXPECT_EQ(animatedFields(), initial);
        EXPECT_FALSE(shown("Command11"));
    }
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
