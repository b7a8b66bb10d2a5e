#include "widgets/controls.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QPainter>
#include <QPalette>
#include <QResource>
#include <QtEndian>
#include <optional>

namespace zarvo {

namespace {

// The first of the families that stand for "MS Sans Serif" that is installed.
// Resolved once: asking the font matcher for a missing family makes it search
// every installed font for a substitute, for each size and weight anew.
QString sansSerifFamily() {
    static const QString family = [] {
        // families() lists what is installed without asking fontconfig to
        // resolve aliases, which hasFamily() does at a high price.
        const QStringList installed = QFontDatabase::families();
        for (const char* name :
             {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans"}) {
            if (installed.contains(QString::fromLatin1(name), Qt::CaseInsensitive))
                return QString::fromLatin1(name);
        }
        return QString();
    }();
    return family;
}

}  // namespace

QFont msSansSerif(qreal pointSize, bool bold, bool italic) {
    QFont font;
    if (!sansSerifFamily().isEmpty()) font.setFamily(sansSerifFamily());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    // Unhinted: FreeType's hinting of each glyph at each size is a tenth of
    // the start-up's work, and at these sizes it changes next to nothing
    // that can be seen. The stand-ins are outline fonts either way, where
    // the real MS Sans Serif is a bitmap font that has no hinting at all.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QColor threeDLight() {
    // Qt's Windows theme fills the midlight role from COLOR_3DLIGHT; other
    // styles leave it between button and light, which is the same idea.
    return QPalette().color(QPalette::Midlight);
}

void setFaceColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Button, color);
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry, const QColor& face) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFont(msSansSerif(8.25, true));
    setFaceColor(button, face.isValid() ? face : threeDLight());
    return button;
}

QComboBox* makeComboBox(QWidget* parent, const QString& name, const QRect& geometry,
                        const QStringList& items, int currentIndex) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setGeometry(geometry);
    combo->setFont(msSansSerif(8.25));
    // The list is filled before the text line exists, so that the line lays
    // out only the entry it starts with.
    combo->addItems(items);
    combo->setCurrentIndex(currentIndex);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Qt would take typed text that matches an entry as a choice when editing
    // ends, and complete typed text to an entry; Windows 98 does neither.
    combo->setCompleter(nullptr);
    QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
    auto showStart = [combo] { combo->lineEdit()->setCursorPosition(0); };
    showStart();
    QObject::connect(combo, &QComboBox::activated, combo, showStart);
    return combo;
}

PathField::PathField(QWidget* parent, const QString& name, const QRect& geometry,
                     const QString& text)
    : QWidget(parent), text_(text) {
    setObjectName(name);
    setGeometry(geometry);
    setFocusPolicy(Qt::NoFocus);
}

PictureBox::PictureBox(QWidget* parent, const QString& name, const QRect& geometry, bool stretch)
    : QWidget(parent), stretch_(stretch) {
    setObjectName(name);
    setGeometry(geometry);
}

void PictureBox::setPicture(const QImage& picture) {
    deferred_ = nullptr;
    boxView_ = nullptr;
    picture_ = picture;
    pixmapValid_ = false;
    update();
}

void PictureBox::setDeferredPicture(std::function<QImage()> loader,
                                    std::function<QImage()> boxView) {
    deferred_ = std::move(loader);
    boxView_ = std::move(boxView);
    picture_ = QImage();
    pixmapValid_ = false;
    update();
}

QImage PictureBox::picture() const {
    resolveDeferred();
    return picture_;
}

void PictureBox::resolveDeferred() const {
    if (deferred_) {
        auto loader = std::move(deferred_);
        deferred_ = nullptr;
        picture_ = loader();
    }
}

void PictureBox::refreshPixmap() {
    pixmapValid_ = true;
    if (deferred_ && boxView_ && stretch_) {
        if (const QImage view = boxView_(); view.size() == size()) {
            pixmap_ = QPixmap::fromImage(view);
            return;
        }
    }
    resolveDeferred();
    if (picture_.isNull()) {
        pixmap_ = QPixmap();
        return;
    }
    if (!stretch_) {
        pixmap_ = QPixmap::fromImage(picture_);
        return;
    }
    // Smooth scaling works on 32-bit pixels; converting an 8-bit picture
    // first is several times cheaper than letting the scaler do it.
    QImage source = picture_;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32 &&
        source.format() != QImage::Format_ARGB32_Premultiplied) {
        source = source.convertToFormat(
            source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    }
    pixmap_ =
        QPixmap::fromImage(source.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (!pixmapValid_) refreshPixmap();
    if (pixmap_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, pixmap_);
}

void PictureBox::resizeEvent(QResizeEvent*) {
    pixmapValid_ = false;
}

namespace {

// What the window shows as it opens comes ready-made beside its file
// (name.pixels, made by the build with Qt's own reader): decoding an icon
// would have Qt look through every image plugin installed and load one,
// at every start, for a few small pictures.
std::optional<QList<QImage>> readyImages(const QString& resourcePath) {
    const QResource resource(resourcePath + QStringLiteral(".pixels"));
    if (!resource.isValid()) return std::nullopt;
    const QByteArray bytes = resource.uncompressedData();
    if (!bytes.startsWith("ZPX1")) return std::nullopt;
    const char* at = bytes.constData() + 4;
    const char* const end = bytes.constData() + bytes.size();
    auto take = [&at, end](quint32& value) {
        if (end - at < 4) return false;
        value = qFromLittleEndian<quint32>(at);
        at += 4;
        return true;
    };
    quint32 count = 0, width = 0, height = 0, format = 0;
    if (!take(count)) return std::nullopt;
    QList<QImage> images;
    for (; count > 0; --count) {
        if (!take(width) || !take(height) || !take(format) || width == 0 || height == 0 ||
            width > 4096 || height > 4096 || (end - at) / 4 < qsizetype(width) * height ||
            (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32))
            return std::nullopt;
        // 32-bit rows have no padding: the pixels are one run.
        QImage image(static_cast<int>(width), static_cast<int>(height),
                     static_cast<QImage::Format>(format));
        qFromLittleEndian<quint32>(at, qsizetype(width) * height, image.bits());
        at += qsizetype(width) * height * 4;
        images << image;
    }
    if (images.isEmpty()) return std::nullopt;
    return images;
}

}  // namespace

QIcon builtInIcon(const QString& resourcePath) {
    const std::optional<QList<QImage>> ready = readyImages(resourcePath);
    if (!ready) return QIcon(resourcePath);
    QIcon icon;
    for (const QImage& image : *ready) icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

QImage builtInPicture(const QString& resourcePath, const QSize& shownSize) {
    if (const std::optional<QList<QImage>> ready = readyImages(resourcePath))
        return ready->constFirst();
    // The program's own pictures are what their names say: told the format,
    // the reader asks no image plugin but the one that reads it, and the
    // others (WebP, TIFF, SVG...) are never loaded at start-up.
    const QByteArray format = QFileInfo(resourcePath).suffix().toLower().toLatin1();
    QImageReader reader(resourcePath, format);
    reader.setAutoDetectImageFormat(false);
    if (shownSize.isValid() && (format == "jpg" || format == "jpeg")) {
        QSize full = reader.size();
        if (full.isValid())
            reader.setScaledSize(full.scaled(shownSize, Qt::KeepAspectRatioByExpanding));
    }
    return reader.read();
}

}  // namespace zarvo
