#include "app/help_window.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <set>

#include "support/fixture.h"

namespace zarvo::test {
namespace {

const std::string kHelpFile = "C:\\Program Files\\Zarvo\\ZARVO.HLP";

// The program as it runs, on the fixture's drive: the shell layer hands help
// files to `openHelp`.
class HelpTest : public ProgramTest {
protected:
    void TearDown() override {
        helpForm.reset();
        helpUi.reset();
        helpSystem.reset();
        delete HelpWindow::instance();
        ProgramTest::TearDown();
    }

    Form1& formOpeningHelpWith(std::function<void(const std::string&, int)> openHelp) {
        LinuxSystem::Options options;
        options.driveRoot = driveRoot.string();
        options.registryStorePath = registryStore.string();
        options.spawn = [this](const std::vector<std::string>& argv) { spawned.push_back(argv); };
        options.openHelp = std::move(openHelp);
        helpSystem = std::make_unique<LinuxSystem>(options);
        helpUi = std::make_unique<ScriptedUi>(*helpSystem);
        helpForm = std::make_unique<Form1>(*helpSystem, *helpUi);
        return *helpForm;
    }
    Form1& formWithViewer() {
        return formOpeningHelpWith([this](const std::string& hostPath, int show) {
            HelpWindow::open(*helpUi, QString::fromStdString(hostPath), show);
        });
    }

    std::unique_ptr<LinuxSystem> helpSystem;
    std::unique_ptr<ScriptedUi> helpUi;
    std::unique_ptr<Form1> helpForm;
};

TEST_F(HelpTest, HelpButtonAndF1AskTheShellForTheHelpFileMaximised) {
    std::vector<std::pair<std::string, int>> opened;
    Form1& f = formOpeningHelpWith(
        [&](const std::string& hostPath, int show) { opened.emplace_back(hostPath, show); });
    f.helpButton->click();
    const std::pair<std::string, int> expected{host(kHelpFile).string(), sw::ShowMaximized};
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], expected);

    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_F1);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], expected);
    EXPECT_TRUE(spawned.empty()) << "a help file never goes to xdg-open";
}

TEST_F(HelpTest, InstalledHelpOpensOnItsContentsWithWorkingJumpsAndBack) {
    // The first start installed the file the build wrote.
    QFile built(QStringLiteral(":/drive/Program Files/Zarvo/ZARVO.HLP"));
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray::fromStdString(readHost(kHelpFile)), built.readAll());

    formWithViewer().helpButton->click();
    HelpWindow* window = HelpWindow::instance();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(helpUi->messages().empty());
    EXPECT_EQ(window->windowTitle(), "Справка: Zarvo");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);

    const winhelp::Document& help = window->document();
    ASSERT_EQ(window->currentTopic(), help.contents);
    std::vector<std::string> titles;
    for (const winhelp::ShownTopic& topic : help.topics) titles.push_back(topic.title);
    EXPECT_EQ(titles, (std::vector<std::string>{
                          "Справка: Zarvo", "Страница Icon", "Страница Фон",
                          "Страница Картинка загрузки. Анимация", "Страница Картинка Загрузки",
                          "Страница Подготовка к завершению", "Страница Завершение работы",
                          "Кнопки над переключателем страниц", "Окно «О программе»"}));
    // The contents leads to every other topic.
    std::set<int> reached;
    for (const winhelp::ShownParagraph& paragraph : help.topics[help.contents].paragraphs)
        for (const winhelp::Shown& run : paragraph.runs)
            if (run.jump) reached.insert(run.topic);
    EXPECT_EQ(reached.size(), help.topics.size() - 1);
    EXPECT_FALSE(reached.count(help.contents));

    auto* view = window->findChild<QTextBrowser*>(QStringLiteral("topicView"));
    auto* backButton = window->findChild<QPushButton*>(QStringLiteral("backButton"));
    auto* contentsButton = window->findChild<QPushButton*>(QStringLiteral("contentsButton"));
    ASSERT_TRUE(view && backButton && contentsButton);
    EXPECT_TRUE(view->toPlainText().startsWith("Справка: Zarvo"));
    EXPECT_TRUE(view->toPlainText().contains("Картинка загрузки. Анимация"));
    EXPECT_TRUE(view->toHtml().contains("href=\"topic:3\""));
    EXPECT_FALSE(backButton->isEnabled());

    emit view->anchorClicked(QUrl(QStringLiteral("topic:3")));
    EXPECT_EQ(window->currentTopic(), 3);
    EXPECT_TRUE(view->toPlainText().contains("Logo=1"));
    EXPECT_TRUE(backButton->isEnabled());
    emit view->anchorClicked(QUrl(QStringLiteral("topic:7")));
    backButton->click();
    EXPECT_EQ(window->currentTopic(), 3);
    backButton->click();
    EXPECT_EQ(window->currentTopic(), help.contents);
    EXPECT_FALSE(backButton->isEnabled());

    emit view->anchorClicked(QUrl(QStringLiteral("topic:8")));
    contentsButton->click();
    EXPECT_EQ(window->currentTopic(), help.contents);

    // F1 again: the same window, back on its contents.
    emit view->anchorClicked(QUrl(QStringLiteral("topic:5")));
    helpForm->helpButton->click();
    EXPECT_EQ(HelpWindow::instance(), window);
    EXPECT_EQ(window->currentTopic(), help.contents);
}

TEST_F(HelpTest, DamagedHelpFileIsReportedAndLeavesTheOpenWindowAsItWas) {
    Form1& f = formWithViewer();
    writeHost(kHelpFile, std::string("\x3F\x5F\x03\x00", 4) + std::string(40, '\x01'));
    f.helpButton->click();
    EXPECT_EQ(HelpWindow::instance(), nullptr);
    ASSERT_EQ(helpUi->messages().size(), 1u);
    EXPECT_EQ(helpUi->messages()[0].text,
              "Не удается открыть файл справки ZARVO.HLP.\n"
              "Файл справки обрезан: в нем 44 байт из 16843009.");
    EXPECT_EQ(helpUi->messages()[0].style, mb::Exclamation);
    EXPECT_EQ(helpUi->messages()[0].title, "Zarvo");

    // A good file opens; a damaged one after it changes nothing.
    QFile built(QStringLiteral(":/drive/Program Files/Zarvo/ZARVO.HLP"));
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    QByteArray bytes = built.readAll();
    writeHost(kHelpFile, bytes.toStdString());
    f.helpButton->click();
    HelpWindow* window = HelpWindow::instance();
    ASSERT_NE(window, nullptr);
    window->showTopic(2);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    writeHost(kHelpFile, bytes.toStdString());
    f.helpButton->click();
    EXPECT_EQ(helpUi->messages().size(), 1u) << "not a help file: the shell passes it on";
    ASSERT_EQ(spawned.size(), 1u);
    bytes[0] = '\x3F';
    bytes[1] = '\x5F';
    bytes.truncate(bytes.size() - 100);
    writeHost(kHelpFile, bytes.toStdString());
    f.helpButton->click();
    ASSERT_EQ(helpUi->messages().size(), 2u);
    EXPECT_TRUE(helpUi->messages()[1].text.contains("обрезан"));
    EXPECT_EQ(HelpWindow::instance(), window);
    EXPECT_EQ(window->currentTopic(), 2);
}

}  // namespace
}  // namespace zarvo::test
