#include "app/about_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>

#include "changes/program_folder.h"
#include "formats/ico_header.h"
#include "system/error.h"
#include "system/system.h"
#include "ui/ui_services.h"
#include "widgets/error_dispatch.h"

namespace zarvo {

namespace {

QLabel* makeLabel(QLabel* label, const QString& name, const QRect& geometry, qreal pointSize) {
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(msSansSerif(pointSize, true, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colors::kBlue);
    label->setPalette(palette);
    return label;
}

// A line from (left, y) to (right, y) in twips, drawn one pixel thick.
QFrame* makeRule(QWidget* parent, const QString& name, int left, int right, int y) {
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setGeometry(twips(left, y, right - left, kTwipsPerPixel));
    return line;
}

// A cursor file keeps its hotspot in its first directory entry, where an
// icon keeps planes and bit count; an icon's hotspot is its centre.
QPoint cursorHotspot(const QString& hostPath, const QSize& size) {
    const QPoint centre(size.width() / 2, size.height() / 2);
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) return centre;
    const QByteArray bytes = file.readAll();
    const auto header =
        ico::readHeader(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!header || header->type != ico::Type::Cursor) return centre;
    const ico::Entry& first = header->entries.front();
    const QPoint hotspot(first.planesOrHotspotX, first.bitCountOrHotspotY);
    if (!QRect(QPoint(0, 0), size).contains(hotspot)) return centre;
    return hotspot;
}

}  // namespace

ClickLabel::ClickLabel(QWidget* parent, const QString& name, const QString& caption,
                       const QRect& geometry)
    : QLabel(caption, parent) {
    makeLabel(this, name, geometry, 8.25);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    // Taken here, so that the frame behind does not see the press too.
    if (pressed_)
        event->accept();
    else
        QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

Form3::Form3(ISystem& system, IUiServices& ui)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), system_(system), ui_(ui) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Form3"));
    // Unloading a closed window frees it; closing rather than hiding is what
    // lets the application end once the main window is gone as well.
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(0, 0, 3405, 2820).size());
    setFont(msSansSerif(8.25));
    setFaceColor(this, threeDLight());

    frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(twips(0, 0, 3375, 2775));

    programIcon =
        new PictureBox(frame, QStringLiteral("Picture1"), twips(240, 240, 540, 540), false);
    programIcon->setPicture(
        builtInIcon(QStringLiteral(":/icons/zarvo.ico")).pixmap(QSize(32, 32)).toImage());

    titleLabel = makeLabel(new QLabel(QStringLiteral("Zarvo's - Картинки"), frame),
                           QStringLiteral("Label3"), twips(960, 360, 2175, 255), 9.75);
    upperRule = makeRule(frame, QStringLiteral("Line1"), 240, 3120, 840);
    webLabel = new ClickLabel(frame, QStringLiteral("Label1"), QStringLiteral("www.zarvo.example"),
                              twips(720, 1080, 2175, 255));
    lowerRule = makeRule(frame, QStringLiteral("Line2"), 240, 3120, 1560);
    mailLabel =
        new ClickLabel(frame, QStringLiteral("Label2"), QStringLiteral("author@zarvo.example"),
                       twips(1080, 1680, 1215, 255));
    // The box was sized for a shorter address; grow it about its centre
    // rather than cut the address off.
    if (const int needed = mailLabel->sizeHint().width(); needed > mailLabel->width()) {
        const QRect box = mailLabel->geometry();
        mailLabel->setGeometry(box.center().x() - needed / 2, box.y(), needed, box.height());
    }

    closeButton =
        makeButton(frame, QStringLiteral("Command1"), QString(), twips(1440, 2040, 615, 615));
    closeButton->setIcon(QIcon(QStringLiteral(":/about/close.gif")));
    closeButton->setIconSize(QSize(36, 37));

    connect(webLabel, &ClickLabel::clicked, this,
            [this] { runHandler(ui_, [this] { onWebPage(); }); });
    connect(mailLabel, &ClickLabel::clicked, this,
            [this] { runHandler(ui_, [this] { onMail(); }); });
    connect(closeButton, &QAbstractButton::clicked, this,
            [this] { runHandler(ui_, [this] { onClose(); }); });

    centreOnScreen();
    runHandler(ui_, [this] { load(); });
}

void Form3::centreOnScreen() {
    // A window without a border has no frame: its outer size is its client size.
    const QSizeF screen = ui_.screenSizeTwips();
    const float outerWidth = float(width() * kTwipsPerPixel);
    const float outerHeight = float(height() * kTwipsPerPixel);
    const float left = (float(screen.width()) - outerWidth) / 2.0f;
    const float top = (float(screen.height()) - outerHeight) / 2.0f;
    move(qRound(left / kTwipsPerPixel), qRound(top / kTwipsPerPixel));
}

void Form3::load() {
    setLinkPointer(webLabel);
    setLinkPointer(mailLabel);
}

void Form3::setLinkPointer(QLabel* label) {
    // Without its cursor file the label keeps the default pointer: nothing
    // the user needs to hear about.
    try {
        label->setCursor(loadCursor());
    } catch (const Error&) {
    }
}

QCursor Form3::loadCursor() {
    const std::string cursorFile = programfolder::cursorFile();
    const QImage picture = ui_.loadPicture(QString::fromStdString(cursorFile));
    QPoint hotspot(picture.width() / 2, picture.height() / 2);
    try {
        hotspot =
            cursorHotspot(QString::fromStdString(system_.hostPath(cursorFile)), picture.size());
    } catch (const Error&) {
        // The picture loaded; a pointer pinned at its centre still works.
    }
    return QCursor(QPixmap::fromImage(picture), hotspot.x(), hotspot.y());
}

void Form3::onWebPage() {
    ShellRequest request;
    request.owner = std::uintptr_t(winId());
    request.verb = "open";
    request.file = kWebAddress.toStdString();
    request.show = sw::Hide;
    system_.shellExecute(request);
}

void Form3::onMail() {
    // The subject goes in as it is, blanks and Cyrillic letters unescaped.
    const QString link = QStringLiteral("mailto:") + mailLabel->text() +
                         QStringLiteral("?Subject=") + QStringLiteral("Вопрос по Zarvo");
    ShellRequest request;
    request.verb = "Open";
    request.file = link.toStdString();
    request.parameters = std::string();
    request.directory = std::string();
    request.show = sw::ShowNormal;
    system_.shellExecute(request);
}

void Form3::onClose() {
    // close() hides and then unloads. Hiding first would make the close a
    // close of an invisible window, which never ends the application.
    close();
}

void Form3::closeEvent(QCloseEvent* event) {
    emit unloaded();
    event->accept();
}

}  // namespace zarvo
