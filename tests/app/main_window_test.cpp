#include <QComboBox>
#include <QGroupBox>
#include <QImageReader>
#include <QPainter>
#include <QRadioButton>
#include <QResource>
#include <QStyleFactory>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/first_start.h"
#include "support/fixture.h"
#include "widgets/error_dispatch.h"
#include "widgets/windows98_style.h"

namespace zarvo::test {
namespace {

const QStringList kPages = {"Frame1", "Frame4", "Frame5", "Frame6", "Frame7", "Frame8"};
const QStringList kStepButtons = {"Command9",  "Command10", "Command11", "Command15",
                                  "Command16", "Command17", "Command21", "Command22",
                                  "Command23", "Command18", "Command20", "Command24"};

class Form1Test : public ProgramTest {
protected:
    QStringList visiblePages() {
        QStringList visible;
        for (const QString& page : kPages)
            if (!find<QWidget>(page)->isHidden()) visible << page;
        return visible;
    }
};

// What the window shows as it opens is decoded by the build: it must be
// what Qt's reader makes of the file itself, every image of it.
TEST(BuiltInPictures, ReadyPixelsAreWhatQtReadsFromTheFile) {
    for (const QString path : {":/icons/zarvo.ico", ":/icons/restart.ico", ":/icons/help.ico",
                               ":/icons/image1.ico", ":/previews/icons-box.bmp"}) {
        ASSERT_TRUE(QResource(path + ".pixels").isValid()) << path.toStdString();
        QImageReader reader(path);
        QList<QImage> expected;
        do {
            QImage image = reader.read();
            if (image.isNull()) break;
            if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
                image = image.convertToFormat(QImage::Format_ARGB32);
            expected << image;
        } while (reader.jumpToNextImage());
        ASSERT_FALSE(expected.isEmpty()) << path.toStdString();
        EXPECT_EQ(builtInPicture(path), expected.constFirst()) << path.toStdString();
        const QIcon icon = builtInIcon(path);
        EXPECT_EQ(icon.availableSizes().size(), expected.size()) << path.toStdString();
        for (const QImage& image : expected)
            EXPECT_EQ(icon.pixmap(image.size()).toImage().convertToFormat(image.format()), image)
                << path.toStdString();
    }
}

// The option buttons' circles, drawn once and copied, look as the Windows
// style draws them, checked or not, enabled or not; one drawn in the wrong
// place or state would differ by far more than the rounding allowed.
TEST(BuiltInPictures, OptionButtonsLookAsTheWindowsStyleDrawsThem) {
    const std::unique_ptr<QStyle> windows(QStyleFactory::create("Windows"));
    Windows98Style copied;
    for (bool checked : {false, true}) {
        for (bool enabled : {true, false}) {
            QRadioButton button(QStringLiteral("Фон"));
            button.setChecked(checked);
            button.setEnabled(enabled);
            button.resize(80, 20);
            QImage drawn[2];
            int i = 0;
            for (QStyle* style : {windows.get(), static_cast<QStyle*>(&copied)}) {
                button.setStyle(style);
                // Twice: the second draw is the copy.
                for (int time = 0; time < 2; ++time) {
                    drawn[i] = QImage(button.size(), QImage::Format_ARGB32);
                    drawn[i].fill(Qt::white);
                    button.render(&drawn[i]);
                }
                ++i;
            }
            // The circle's soft edge is blended once more: a step of rounding.
            int furthest = 0;
            for (int y = 0; y < drawn[0].height(); ++y)
                for (int x = 0; x < drawn[0].width(); ++x) {
                    const QRgb a = drawn[0].pixel(x, y), b = drawn[1].pixel(x, y);
                    furthest =
                        std::max({furthest, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
                }
            EXPECT_LE(furthest, 2) << checked << enabled;
        }
    }
}

TEST_F(Form1Test, LoadStepLeavesOnlyTheIconPageAndStepOneOfTheAnimatedPage) {
    Form1& f = form();
    EXPECT_EQ(f.windowTitle(), "Zarvo's");
    EXPECT_EQ(f.size(), QSize(538, 216));
    EXPECT_EQ(visiblePages(), QStringList{"Frame1"});
    EXPECT_TRUE(find<QRadioButton>("Option1")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("Option4")->isChecked());
    for (int n = 1; n <= 21; ++n)
        EXPECT_TRUE(find<QWidget>(QStringLiteral("Text%1").arg(n))->isHidden()) << n;
    for (const QString& name : kStepButtons)
        EXPECT_EQ(find<QWidget>(name)->isHidden(), name != "Command9") << name.toStdString();
    EXPECT_TRUE(find<QWidget>("Command25")->isHidden());
    EXPECT_EQ(f.helpFile(), "Zarvo.hlp");
    EXPECT_TRUE(messages().empty());
}

TEST_F(Form1Test, ControlsSitWhereTheWindowDefinesThem) {
    struct Expected {
        const char* name;
        QRect pixels;
        const char* text;
    };
    const Expected controls[] = {
        {"Frame1", {8, 8, 289, 201}, "Icon"},
        {"Frame2", {304, 8, 225, 81}, ""},
        {"Frame3", {304, 88, 225, 121}, ""},
        {"Frame5", {8, 8, 289, 201}, "Картинка загрузки.Анимация"},
        {"Frame6", {8, 8, 289, 201}, "Картинка загрузки"},
        {"Command4", {8, 16, 97, 21}, "Выход"},
        {"Command5", {8, 40, 97, 21}, "О программе"},
        {"Command3", {112, 16, 49, 41}, ""},
        {"Command26", {168, 16, 49, 41}, ""},
        {"Option3", {8, 48, 177, 17}, "Картинка загрузки. Анимация"},
        {"Option6", {8, 64, 129, 17}, "Картинка Загрузки"},
        {"Option8", {8, 96, 169, 13}, "Завершение работы"},
        {"Combo1", {8, 16, 177, 21}, "Незарегистрированный файл"},
        {"Command25", {8, 168, 121, 21}, "Перезагрузить"},
        {"Combo2", {8, 24, 105, 21}, "BABYLON5.BMP"},
        {"Command12", {8, 88, 97, 25}, "MSDOS.SYS"},
        {"Command14", {8, 56, 89, 21}, "Открыть"},
        {"Command24", {72, 88, 25, 17}, "3"},
        {"Image7", {120, 24, 145, 169}, ""},
    };
    form();
    for (const Expected& c : controls) {
        QWidget* w = find<QWidget>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), c.pixels) << c.name;
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
        if (auto* combo = qobject_cast<QComboBox*>(w)) text = combo->currentText();
        EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.name;
    }
    EXPECT_EQ(find<QWidget>("Command3")->toolTip(), "Перезагрузить");
    EXPECT_EQ(find<QWidget>("Command26")->toolTip(), "Справка");
    EXPECT_EQ(field("Text3"), "C:\\Program Files\\Zarvo\\ico\\1.ico");
    EXPECT_EQ(field("Text8"), "C:\\Program Files\\Zarvo\\Zarvo\\");
    EXPECT_EQ(field("Text20"), "C:\\Windows\\Logos.sys");
    EXPECT_EQ(find<QComboBox>("Combo1")->count(), 40);
    EXPECT_EQ(find<QComboBox>("Combo2")->count(), 14);
}

TEST_F(Form1Test, PageSelectorShowsOnePageAndKeepsEveryPageAsItWasLeft) {
    const std::pair<const char*, const char*> options[] = {
        {"Option2", "Frame4"}, {"Option3", "Frame5"}, {"Option6", "Frame6"},
        {"Option7", "Frame7"}, {"Option8", "Frame8"}, {"Option1", "Frame1"}};
    for (const auto& [option, page] : options) {
        click(option);
        EXPECT_EQ(visiblePages(), QStringList{page}) << option;
    }
    // State left on a page survives a visit elsewhere.
    click("Option6");
    find<QWidget>("Command17")->setVisible(true);
    find<PathField>("Text10")->setText("C:\\x.bmp");
    click("Option2");
    click("Option6");
    EXPECT_FALSE(find<QWidget>("Command17")->isHidden());
    EXPECT_EQ(field("Text10"), "C:\\x.bmp");
}

TEST_F(Form1Test, WallpaperPageSitsLowOnTheScreenAndOthersAreCentred) {
    EXPECT_NEAR(Form1::pageTopTwips(9000, 3615, true), 5032.71f, 0.05f);
    EXPECT_NEAR(Form1::pageTopTwips(9000, 3615, false), 2692.5f, 0.01f);

    ui->setScreenSizeTwips(QSizeF(12000, 9000));
    Form1& f = form();
    const int height = f.frameGeometry().height() * 15;
    const int centredTop = qRound((9000 - height) / 2.0 / 15);
    const int left = qRound((12000 - f.frameGeometry().width() * 15) / 2.0 / 15);
    EXPECT_EQ(f.pos(), QPoint(left, centredTop));
    click("Option2");
    EXPECT_EQ(f.pos(), QPoint(left, qRound((9000 - height) / 1.07 / 15)));
    f.move(3, 4);  // moved by hand
    click("Option3");
    EXPECT_EQ(f.pos(), QPoint(left, centredTop));
}

TEST_F(Form1Test, ExitAndTheCloseBoxBothReleaseTheRegistryWriter) {
    Form1& f = form();
    f.show();
    click("Command4");
    EXPECT_FALSE(f.isVisible());
    // The Icon page, still there until the deferred delete, has no writer left.
    ui->answerOpen(QStringLiteral("C:\\Program Files\\Zarvo\\ico\\1.ico"));
    click("Command1");
    click("Command2");
    ASSERT_FALSE(messages().empty());
    EXPECT_TRUE(messages().back().text.contains(QStringLiteral("91")));
    EXPECT_FALSE(std::filesystem::exists(registryStore));
}

TEST_F(Form1Test, RestartEndsTheProgramOrReportsRefusal) {
    click("Command3");
    EXPECT_EQ(restartRequests, 1);
    EXPECT_TRUE(messages().empty());

    restartAnswer = false;
    click("Command3");
    EXPECT_EQ(restartRequests, 2);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "Невозможно выйти из Windows");
    EXPECT_EQ(messages()[0].style, 0);
    EXPECT_EQ(messages()[0].title, "Zarvo");
    EXPECT_EQ(visiblePages(), QStringList{"Frame1"});
}

TEST_F(Form1Test, HelpButtonAndF1OpenTheHelpFileThroughTheShell) {
    std::filesystem::remove(host("C:\\Program Files\\Zarvo\\ZARVO.HLP"));
    click("Command26");
    EXPECT_TRUE(spawned.empty()) << "a missing help file opens nothing";

    writeHost("C:\\Program Files\\Zarvo\\ZARVO.HLP", "help");
    click("Command26");
    ASSERT_EQ(spawned.size(), 1u);
    EXPECT_EQ(spawned[0].back(), host("C:\\Program Files\\Zarvo\\ZARVO.HLP").string());

    Form1& f = form();
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_F1);
    EXPECT_EQ(spawned.size(), 2u);
}

TEST(ErrorDispatchTest, ReportsTheErrorAbandonsTheHandlerAndKeepsRunning) {
    struct Recorder : IUiServices {
        void messageBox(const QString& text, int style, const QString& title) override {
            shown << text;
            styles << style;
            titles << title;
        }
        void noticeBox(const QString&, int, const QString&, QWidget*) override {}
        bool showOpen(CommonDialog&, QWidget*) override { return false; }
        QImage loadPicture(const QString&, QSize) override { return {}; }
        QImage resourceIcon(int) override { return {}; }
        QSizeF screenSizeTwips() override { return {}; }
        std::optional<std::string> windowsBitmap(const std::string&, int, int,
                                                 std::uint32_t) override {
            return {};
        }
        std::optional<std::string> windows98Icon(const std::string&) override { return {}; }
        std::optional<std::string> screenFile(const std::string&, int) override { return {}; }
        QStringList shown, titles;
        QList<int> styles;
    } recorder;
    bool before = false, after = false;
    runHandler(recorder, [&] {
        before = true;
        throw Error(err::FileNotFound);
        after = true;
    });
    EXPECT_TRUE(before);
    EXPECT_FALSE(after);
    ASSERT_EQ(recorder.shown.size(), 1);
    EXPECT_TRUE(recorder.shown[0].contains("53"));
    EXPECT_TRUE(recorder.shown[0].contains("Файл не найден"));
    runHandler(recorder, [&] { after = true; });
    EXPECT_TRUE(after);
}

TEST_F(ProgramTest, FirstStartInstallsAWindows98DriveAndNeverOverwrites) {
    for (const char* path :
         {"C:\\Windows\\WIN.INI", "C:\\Windows\\Logow.sys", "C:\\Windows\\Logos.sys",
          "C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Program Files\\Zarvo\\Zarvo\\BABYLON5.BMP",
          "C:\\Program Files\\Zarvo\\32761.CUR", "C:\\Program Files\\Zarvo\\ico\\1.ico"})
        EXPECT_TRUE(existsOnDrive(path)) << path;
    EXPECT_FALSE(existsOnDrive("C:\\Logo.sys"));
    EXPECT_EQ(system->attributes("C:\\Msdos.sys") & 7u,
              attr::Hidden | attr::System | attr::ReadOnly);
    EXPECT_EQ(system->attributes("C:\\WINDOWS\\ShellIconCache") & 7u, attr::Hidden | attr::System);
    const std::string msdos = readHost("C:\\Msdos.sys");
    EXPECT_NE(msdos.find("[Paths]"), std::string::npos);
    EXPECT_NE(msdos.find("[Options]"), std::string::npos);
    EXPECT_NE(msdos.find("Logo=1"), std::string::npos);

    writeHost("C:\\Windows\\WIN.INI", "mine");
    std::filesystem::remove(host("C:\\Program Files\\Zarvo\\Logos.sys"));
    installDrive(*system);
    EXPECT_EQ(readHost("C:\\Windows\\WIN.INI"), "mine");
    EXPECT_TRUE(existsOnDrive("C:\\Program Files\\Zarvo\\Logos.sys"));
}

}  // namespace
}  // namespace zarvo::test
