#include "app/form1.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLineEdit>
#include <QShortcut>

#include "app/controls.h"
#include "app/error_dispatch.h"
#include "app/form3.h"
#include "icons/icon_page.h"
#include "screens/animated_boot_page.h"
#include "screens/screen_file_page.h"
#include "wallpaper/wallpaper_page.h"

namespace zarvo {

namespace {

const char* const kHelpPath = "C:\\Program Files\\Zarvo\\ZARVO.HLP";

// The step buttons the load step hides, in the order it hides them; step "1"
// of the Animated boot page stays visible.
const char* const kHiddenStepButtons[] = {"Command10", "Command11", "Command15", "Command16",
                                          "Command17", "Command21", "Command22", "Command23",
                                          "Command18", "Command20", "Command24"};

QRadioButton* makeOption(QWidget* parent, const QString& name, const QString& caption,
                         const QRect& geometry) {
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(name);
    option->setGeometry(geometry);
    return option;
}

QGroupBox* makeBar(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

}  // namespace

template <typename Handler>
void Form1::onClick(QAbstractButton* button, Handler handler) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler]() { runHandler(ui_, [this, handler] { (this->*handler)(); }); });
}

Form1::Form1(ISystem& system, IUiServices& ui, QWidget* parent)
    : QWidget(parent), system_(system), ui_(ui) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Zarvo's"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/icons/zarvo.ico")));
    setFixedSize(twips(0, 0, 8070, 3240).size());
    setFont(msSansSerif(8.25));
    setFaceColor(this, threeDLight());

    CommonDialog2 = new CommonDialog(QStringLiteral("CommonDialog2"),
                                     QStringLiteral("BitMap(*.bmp)|*.bmp|"), this);

    Frame1 = new IconPage(*this);
    Frame4 = new WallpaperPage(*this);
    Frame5 = new AnimatedBootPage(*this);
    Frame6 = new ScreenFilePage(*this, kBootPicturePage);
    Frame7 = new ScreenFilePage(*this, kWaitScreenPage);
    Frame8 = new ScreenFilePage(*this, kShutdownScreenPage);
    buildButtonBar();
    buildPageSelector();

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { runHandler(ui_, [this] { onHelp(); }); });

    runHandler(ui_, [this] { load(); });
}

Form1::~Form1() = default;

void Form1::buildButtonBar() {
    Frame2 = makeBar(this, QStringLiteral("Frame2"), twips(4560, 120, 3375, 1215));
    Command4 = makeButton(Frame2, QStringLiteral("Command4"), QStringLiteral("Выход"),
                          twips(120, 240, 1455, 315));
    Command5 = makeButton(Frame2, QStringLiteral("Command5"), QStringLiteral("О программе"),
                          twips(120, 600, 1455, 315));
    Command3 = makeButton(Frame2, QStringLiteral("Command3"), QString(), twips(1680, 240, 735, 615),
                          colors::kRed);
    Command3->setIcon(QIcon(QStringLiteral(":/icons/restart.ico")));
    Command3->setIconSize(QSize(32, 32));
    Command3->setToolTip(QStringLiteral("Перезагрузить"));
    Command26 =
        makeButton(Frame2, QStringLiteral("Command26"), QString(), twips(2520, 240, 735, 615));
    Command26->setIcon(QIcon(QStringLiteral(":/icons/help.ico")));
    Command26->setIconSize(QSize(32, 32));
    Command26->setToolTip(QStringLiteral("Справка"));

    onClick(Command4, &Form1::onExit);
    onClick(Command5, &Form1::onAbout);
    onClick(Command3, &Form1::onRestart);
    onClick(Command26, &Form1::onHelp);
}

void Form1::buildPageSelector() {
    Frame3 = makeBar(this, QStringLiteral("Frame3"), twips(4560, 1320, 3375, 1815));
    Option1 = makeOption(Frame3, QStringLiteral("Option1"), QStringLiteral("Icon"),
                         twips(120, 240, 975, 255));
    Option2 = makeOption(Frame3, QStringLiteral("Option2"), QStringLiteral("Фон"),
                         twips(120, 480, 855, 255));
    Option3 = makeOption(Frame3, QStringLiteral("Option3"),
                         QStringLiteral("Картинка загрузки. Анимация"), twips(120, 720, 2655, 255));
    Option6 = makeOption(Frame3, QStringLiteral("Option6"), QStringLiteral("Картинка Загрузки"),
                         twips(120, 960, 1935, 255));
    Option7 = makeOption(Frame3, QStringLiteral("Option7"),
                         QStringLiteral("Подготовка к завершению"), twips(120, 1200, 2535, 195));
    Option8 = makeOption(Frame3, QStringLiteral("Option8"), QStringLiteral("Завершение работы"),
                         twips(120, 1440, 2535, 195));
    for (QRadioButton* option : {Option1, Option2, Option3, Option6, Option7, Option8}) {
        connect(option, &QAbstractButton::clicked, this,
                [this, option] { runHandler(ui_, [this, option] { selectPage(option); }); });
    }
}

void Form1::load() {
    moveToPagePosition(false);
    helpFile = QStringLiteral("Zarvo.hlp");
    for (int n = 1; n <= 21; ++n) {
        if (auto* field = findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n)))
            field->setVisible(false);
    }
    for (QWidget* page : std::initializer_list<QWidget*>{Frame4, Frame5, Frame6, Frame7, Frame8})
        page->setVisible(false);
    Option1->setChecked(true);
    selectPage(Option1);
    Frame1->Option4->setChecked(true);
    Frame1->Command25->setVisible(false);
    for (const char* name : kHiddenStepButtons) {
        if (auto* button = findChild<QPushButton*>(QString::fromLatin1(name)))
            button->setVisible(false);
    }
    Registry = system_.createRegistryWriter();
}

void Form1::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Registry.reset();
}

void Form1::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

float Form1::pageTopTwips(float screenHeight, float windowHeight, bool lowPosition) {
    if (lowPosition) return float(double(screenHeight - windowHeight) / 1.07);
    return (screenHeight - windowHeight) / 2.0f;
}

void Form1::moveToPagePosition(bool lowPosition) {
    const QSizeF screen = ui_.screenSizeTwips();
    const QSize outer = frameGeometry().size();
    const float width = float(outer.width() * kTwipsPerPixel);
    const float height = float(outer.height() * kTwipsPerPixel);
    const float left = (float(screen.width()) - width) / 2.0f;
    const float top = pageTopTwips(float(screen.height()), height, lowPosition);
    move(qRound(left / kTwipsPerPixel), qRound(top / kTwipsPerPixel));
}

void Form1::selectPage(QRadioButton* option) {
    moveToPagePosition(option == Option2);
    const std::pair<QWidget*, QRadioButton*> pages[] = {{Frame1, Option1}, {Frame4, Option2},
                                                        {Frame5, Option3}, {Frame6, Option6},
                                                        {Frame7, Option7}, {Frame8, Option8}};
    for (const auto& [page, pageOption] : pages) page->setVisible(pageOption == option);
}

void Form1::onExit() {
    close();
}

void Form1::onAbout() {
    // An open About window is only brought forward: its load step runs once.
    if (!about_) {
        about_ = new Form3(system_, ui_);
        connect(about_, &Form3::unloaded, this, [this] { about_ = nullptr; });
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void Form1::onRestart() {
    if (system_.exitWindowsEx(EWX_REBOOT_FLAG, 2) == 0)
        ui_.messageBox(QStringLiteral("Невозможно выйти из Windows"), mb::OkOnly);
}

void Form1::onHelp() {
    ShellRequest request;
    request.verb = "open";
    request.file = kHelpPath;
    request.parameters = std::string();
    request.directory = std::string();
    request.show = sw::ShowMaximized;
    system_.shellExecute(request);
}

}  // namespace zarvo
