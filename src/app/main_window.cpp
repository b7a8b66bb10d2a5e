#include "app/main_window.h"

#include <QCloseEvent>
#include <QIcon>
#include <QShortcut>

#include "app/about_window.h"
#include "app/registry_step.h"
#include "changes/program_folder.h"
#include "pages/icons/icon_page.h"
#include "pages/screens/animated_boot_page.h"
#include "pages/screens/screen_file_page.h"
#include "pages/wallpaper/wallpaper_page.h"
#include "system/system.h"
#include "ui/ui_services.h"
#include "widgets/controls.h"
#include "widgets/error_dispatch.h"

namespace zarvo {

namespace {

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
    setWindowIcon(builtInIcon(QStringLiteral(":/icons/zarvo.ico")));
    setFixedSize(twips(0, 0, 8070, 3240).size());
    setFont(msSansSerif(8.25));
    setFaceColor(this, threeDLight());

    auto* pictureDialog = new CommonDialog(QStringLiteral("CommonDialog2"),
                                           QStringLiteral("BitMap(*.bmp)|*.bmp|"), this);
    context_.reset(new PageContext{system_, ui_, *pictureDialog, nullptr, {}});

    PageContext& context = *context_;
    addPage(new IconPage(context, this), QStringLiteral("Option1"), QStringLiteral("Icon"),
            twips(120, 240, 975, 255));
    addPage(new WallpaperPage(context, this), QStringLiteral("Option2"), QStringLiteral("Фон"),
            twips(120, 480, 855, 255), true);
    addPage(new AnimatedBootPage(context, this), QStringLiteral("Option3"),
            QStringLiteral("Картинка загрузки. Анимация"), twips(120, 720, 2655, 255));
    addPage(new ScreenFilePage(context, this, kBootPicturePage), QStringLiteral("Option6"),
            QStringLiteral("Картинка Загрузки"), twips(120, 960, 1935, 255));
    addPage(new ScreenFilePage(context, this, kWaitScreenPage), QStringLiteral("Option7"),
            QStringLiteral("Подготовка к завершению"), twips(120, 1200, 2535, 195));
    addPage(new ScreenFilePage(context, this, kShutdownScreenPage), QStringLiteral("Option8"),
            QStringLiteral("Завершение работы"), twips(120, 1440, 2535, 195));
    buildButtonBar();
    buildPageSelector();

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { runHandler(ui_, [this] { onHelp(); }); });

    runHandler(ui_, [this] { load(); });
}

Form1::~Form1() = default;

void Form1::sayRegistryStep(RegistryStepWatch& watch) {
    context_->afterClick = [this, &watch] {
        if (watch.takeFirstValue())
            ui_.noticeBox(kRegistryStepText, mb::Information, windowTitle(), this);
    };
}

void Form1::addPage(Page* page, const QString& optionName, const QString& caption,
                    const QRect& optionGeometry, bool lowPosition) {
    pages_.push_back({page, nullptr, optionName, caption, optionGeometry, lowPosition});
}

void Form1::buildPageSelector() {
    pageSelector = makeBar(this, QStringLiteral("Frame3"), twips(4560, 1320, 3375, 1815));
    for (PageChoice& choice : pages_) {
        choice.option = new QRadioButton(choice.caption, pageSelector);
        choice.option->setObjectName(choice.optionName);
        choice.option->setGeometry(choice.optionGeometry);
        connect(choice.option, &QAbstractButton::clicked, this,
                [this, &choice] { runHandler(ui_, [this, &choice] { selectPage(choice); }); });
    }
}

void Form1::buildButtonBar() {
    buttonBar = makeBar(this, QStringLiteral("Frame2"), twips(4560, 120, 3375, 1215));
    exitButton = makeButton(buttonBar, QStringLiteral("Command4"), QStringLiteral("Выход"),
                            twips(120, 240, 1455, 315));
    aboutButton = makeButton(buttonBar, QStringLiteral("Command5"), QStringLiteral("О программе"),
                             twips(120, 600, 1455, 315));
    restartButton = makeButton(buttonBar, QStringLiteral("Command3"), QString(),
                               twips(1680, 240, 735, 615), colors::kRed);
    restartButton->setIcon(builtInIcon(QStringLiteral(":/icons/restart.ico")));
    restartButton->setIconSize(QSize(32, 32));
    restartButton->setToolTip(QStringLiteral("Перезагрузить"));
    helpButton =
        makeButton(buttonBar, QStringLiteral("Command26"), QString(), twips(2520, 240, 735, 615));
    helpButton->setIcon(builtInIcon(QStringLiteral(":/icons/help.ico")));
    helpButton->setIconSize(QSize(32, 32));
    helpButton->setToolTip(QStringLiteral("Справка"));

    onClick(exitButton, &Form1::onExit);
    onClick(aboutButton, &Form1::onAbout);
    onClick(restartButton, &Form1::onRestart);
    onClick(helpButton, &Form1::onHelp);
}

void Form1::load() {
    moveToPagePosition(false);
    helpFile_ = QStringLiteral("Zarvo.hlp");
    for (const PageChoice& choice : pages_) choice.page->load();
    pages_.front().option->setChecked(true);
    selectPage(pages_.front());
    context_->registry = system_.createRegistryWriter();
}

void Form1::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    context_->registry.reset();
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

void Form1::selectPage(const PageChoice& chosen) {
    moveToPagePosition(chosen.lowPosition);
    for (const PageChoice& choice : pages_) choice.page->setVisible(&choice == &chosen);
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
    request.file = programfolder::helpFile();
    request.parameters = std::string();
    request.directory = std::string();
    request.show = sw::ShowMaximized;
    system_.shellExecute(request);
}

}  // namespace zarvo
