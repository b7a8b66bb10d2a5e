// Pictures of the real windows for the README: the program is started as
// main() starts it, on a drive of its own in a temporary folder, and every
// page and the About window are drawn offscreen into PNG files.
//
//   zarvo_screenshots <output-folder>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/about_window.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "widgets/controls.h"

namespace {

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "zarvo_screenshots: %s\n", qPrintable(message));
    std::exit(1);
}

// Posted events (polish, moves, deferred deletes) are delivered; timers are
// not, so an animated preview is drawn at its first frame on every run.
void settle() {
    QCoreApplication::sendPostedEvents();
}

// A window as a Windows 98 desktop shows it: its client area inside the
// raised frame, under a caption drawn by the program's own widget style.
QImage inWindowFrame(QWidget& window) {
    const QPixmap client = window.grab();
    QStyle* style = window.style();

    QStyleOptionTitleBar caption;
    caption.initFrom(&window);
    caption.state |= QStyle::State_Active;
    caption.palette.setCurrentColorGroup(QPalette::Active);
    caption.text = window.windowTitle();
    caption.icon = window.windowIcon();
    caption.titleBarState = Qt::WindowActive;
    caption.titleBarFlags = window.windowFlags();
    caption.subControls =
        QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarSysMenu | QStyle::SC_TitleBarCloseButton;
    caption.fontMetrics = QFontMetrics(zarvo::msSansSerif(8.25, true));

    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, &caption, &window);
    const int captionHeight = style->pixelMetric(QStyle::PM_TitleBarHeight, &caption, &window);
    const QSize outer(client.width() + 2 * border, client.height() + captionHeight + 2 * border);

    QImage image(outer, QImage::Format_RGB32);
    image.fill(window.palette().color(QPalette::Button));
    QPainter painter(&image);
    QStyleOptionFrame frame;
    frame.initFrom(&window);
    frame.rect = QRect(QPoint(0, 0), outer);
    frame.lineWidth = border;
    frame.state |= QStyle::State_Active;
    style->drawPrimitive(QStyle::PE_FrameWindow, &frame, &painter, &window);

    caption.rect = QRect(border, border, client.width(), captionHeight);
    painter.setFont(zarvo::msSansSerif(8.25, true));
    style->drawComplexControl(QStyle::CC_TitleBar, &caption, &painter, &window);
    painter.drawPixmap(border, border + captionHeight, client);
    return image;
}

void save(const QImage& image, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    if (!image.save(path, "PNG")) fail(QStringLiteral("cannot write %1").arg(path));
    std::printf("%s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
    // Offscreen always, so that the pictures do not depend on the display
    // of whoever makes them, nor flash up on it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir temporary;
    if (!temporary.isValid()) fail(QStringLiteral("no temporary folder"));
    // A fresh drive: the pictures show what a first start shows.
    qputenv("ZARVO_DRIVE_C", QFile::encodeName(temporary.filePath(QStringLiteral("drive_c"))));

    QApplication app(argc, argv);
    if (app.arguments().size() != 2) fail(QStringLiteral("usage: zarvo_screenshots <folder>"));
    const QDir folder(app.arguments().at(1));
    if (!folder.mkpath(QStringLiteral(".")))
        fail(QStringLiteral("cannot create %1").arg(folder.path()));

    // A message box would wait for a click no one can give offscreen.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        fail(QStringLiteral("the program stopped for a message box or did not start"));
    });
    watchdog.start(60'000);

    zarvo::Program program = zarvo::startProgram();
    zarvo::Form1& form = *program.form;
    settle();

    const std::pair<const char*, const char*> pages[] = {
        {"Option1", "icons.png"},         {"Option2", "wallpaper.png"},
        {"Option3", "animated-boot.png"}, {"Option6", "boot-picture.png"},
        {"Option7", "wait-screen.png"},   {"Option8", "shutdown-screen.png"},
    };
    for (const auto& [optionName, file] : pages) {
        auto* option = form.findChild<QRadioButton*>(QString::fromLatin1(optionName));
        if (!option) fail(QStringLiteral("no page selector %1").arg(optionName));
        option->click();
        settle();
        save(inWindowFrame(form), folder, QString::fromLatin1(file));
    }

    form.aboutButton->click();
    settle();
    zarvo::Form3* about = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* candidate = qobject_cast<zarvo::Form3*>(window);
            candidate && candidate->isVisible())
            about = candidate;
    }
    if (!about) fail(QStringLiteral("the About window did not open"));
    // It has no caption of its own: it is shown as it is.
    save(about->grab().toImage(), folder, QStringLiteral("about.png"));

    QApplication::closeAllWindows();
    settle();
    return 0;
}
