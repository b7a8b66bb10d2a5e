#include "app/about_window.h"

#include <QApplication>
#include <QBuffer>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include "support/fixture.h"

namespace zarvo::test {
namespace {

const QString kCursorFile = QStringLiteral("C:\\Program Files\\Zarvo\\32761.CUR");

class CountingUi : public ScriptedUi {
public:
    using ScriptedUi::ScriptedUi;
    QImage loadPicture(const QString& path, QSize box) override {
        cursorReads += path.compare(kCursorFile, Qt::CaseInsensitive) == 0;
        return ScriptedUi::loadPicture(path, box);
    }
    int cursorReads = 0;
};

// Keeps what only a Windows shell would see: owner window, verb, show command.
class RecordingSystem : public LinuxSystem {
public:
    using LinuxSystem::LinuxSystem;
    void shellExecute(const ShellRequest& request) override {
        requests.push_back(request);
        LinuxSystem::shellExecute(request);
    }
    std::vector<ShellRequest> requests;
};

class Form3Test : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ui.reset();
        LinuxSystem::Options options;
        options.driveRoot = driveRoot.string();
        options.registryStorePath = registryStore.string();
        options.spawn = [this](const std::vector<std::string>& argv) { spawned.push_back(argv); };
        system = std::make_unique<RecordingSystem>(options);
        ui = std::make_unique<CountingUi>(*system);
        // A 32 x 32 cursor, hotspot (5, 3): an icon with the cursor's type word
        // and the hotspot where an icon keeps planes and bit count.
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::black);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "ICO"));
        for (auto [at, value] : {std::pair{2, 2}, {10, 5}, {12, 3}})
            qToLittleEndian<quint16>(quint16(value), bytes.data() + at);
        writeHost(kCursorFile.toStdString(), bytes.toStdString());
    }
    void TearDown() override {
        // Ownerless: nothing else frees an About window left open.
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<Form3*>(widget)) delete widget;
        ProgramTest::TearDown();
    }
    int reads() { return static_cast<CountingUi&>(*ui).cursorReads; }
    Form3* shownAbout() {
        QList<Form3*> shown;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* about = qobject_cast<Form3*>(widget); about && about->isVisible())
                shown << about;
        EXPECT_LE(shown.size(), 1);
        return shown.value(0);
    }
};

TEST_F(Form3Test, OpensCentredBorderlessAndOwnerlessBesideTheMainWindow) {
    ui->setScreenSizePixels(QSize(1024, 768));
    form().show();
    click("Command5");
    Form3* about = shownAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->geometry(), QRect(399, 290, 227, 188));  // 3405 x 2820 twips, centred
    EXPECT_TRUE(about->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(about->parentWidget(), nullptr);
    EXPECT_FALSE(about->isModal());
    EXPECT_TRUE(form().isVisible() && form().isEnabled());
    // The mail label keeps its place and centre and shows its whole address.
    const QRect mail = about->mailLabel->geometry();
    EXPECT_EQ(mail.center().x(), QRect(72, 112, 81, 17).center().x());
    EXPECT_EQ(mail.top(), 112);
    EXPECT_GE(mail.width(), about->mailLabel->sizeHint().width());
}

TEST_F(Form3Test, LinksReachTheShellAsWritten) {
    click("Command5");
    Form3* about = shownAbout();
    ASSERT_NE(about, nullptr);
    QTest::mouseClick(about->webLabel, Qt::LeftButton);
    QTest::mouseClick(about->mailLabel, Qt::LeftButton);

    const std::string mail = "mailto:author@zarvo.example?Subject=Вопрос по Zarvo";
    const auto& requests = static_cast<RecordingSystem&>(*system).requests;
    ASSERT_EQ(requests.size(), 2u);
    const ShellRequest& web = requests[0];
    EXPECT_EQ(web.owner, std::uintptr_t(about->winId()));
    EXPECT_EQ(std::tie(web.verb, web.file, web.show),
              std::tuple("open", "http://www.zarvo.example/", 0));
    EXPECT_FALSE(web.parameters || web.directory);
    EXPECT_NE(about->webLabel->text().toStdString(), web.file);
    const ShellRequest& m = requests[1];
    EXPECT_EQ(std::tie(m.owner, m.verb, m.file, m.show), std::tuple(0u, "Open", mail, 1));
    EXPECT_EQ(m.parameters, "");
    EXPECT_EQ(m.directory, "");
    EXPECT_EQ(spawned, (std::vector<std::vector<std::string>>{
                           {"xdg-open", "http://www.zarvo.example/"}, {"xdg-open", mail}}));
}

TEST_F(Form3Test, CursorFileIsReadPerLabelOnEachLoadOnly) {
    click("Command5");
    Form3* about = shownAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(reads(), 2);
    for (ClickLabel* label : {about->webLabel, about->mailLabel})
        EXPECT_EQ(label->cursor().hotSpot(), QPoint(5, 3));
    click("Command5");  // already open: brought forward, not reloaded
    EXPECT_EQ(shownAbout(), about);
    EXPECT_EQ(reads(), 2);

    // Closed, the window goes; the next one reads the file again, and
    // without the file keeps the default pointer and says nothing.
    QPointer<Form3> closed = about;
    about->closeButton->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
    std::filesystem::remove(host(kCursorFile.toStdString()));
    click("Command5");
    ASSERT_NE(shownAbout(), nullptr);
    EXPECT_EQ(reads(), 4);
    EXPECT_FALSE(shownAbout()->webLabel->testAttribute(Qt::WA_SetCursor));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Form3Test, ProgramEndsOnlyWhenBothWindowsAreClosedInEitherOrder) {
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    int lastClosed = 0;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &form(), [&] { ++lastClosed; });
    // Only a running application reports its last window closed and ends.
    auto ends = [](const std::function<void()>& steps) {
        QTimer limit;  // gone with this run, never firing into a later one
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, qApp, &QApplication::quit);
        limit.start(5000);
        QTimer::singleShot(0, qApp, steps);
        QApplication::exec();
        return limit.isActive();
    };
    EXPECT_TRUE(ends([&] {
        form().show();
        click("Command5");
        click("Command4");  // the main window first
        EXPECT_TRUE(shownAbout() && !form().isVisible() && lastClosed == 0);
        shownAbout()->closeButton->click();
    }));
    EXPECT_TRUE(ends([&] {
        form().show();
        click("Command5");
        shownAbout()->closeButton->click();  // the About window first
        EXPECT_TRUE(form().isVisible() && lastClosed == 1);
        click("Command4");
    }));
    EXPECT_EQ(lastClosed, 2);
}

}  // namespace
}  // namespace zarvo::test
