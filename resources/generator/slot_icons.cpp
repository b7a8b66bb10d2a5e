#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <stdexcept>
#include <string>

#include "icons.h"
#include "slot_art.h"

namespace zarvo::resgen {
namespace {

using Extra = SlotArt::Extra;

QImage loadTango(const QString& root, int size, const char* name) {
    const QString path =
        QStringLiteral("%1/%2x%2/%3.png").arg(root).arg(size).arg(QLatin1String(name));
    QImage image(path);
    if (image.isNull()) throw std::runtime_error("cannot read " + path.toStdString());
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Corner for overlays: the lower right part of the icon.
QRectF corner(int size, double share) {
    const double side = size * share;
    return {size - side, size - side, side, side};
}

void drawWindowGlyph(QPainter& p, int size) {
    const QRectF r = size >= 32 ? QRectF(15, 17, 16, 13) : QRectF(7, 8, 9, 8);
    p.fillRect(r, QColor(192, 192, 192));
    p.fillRect(r.adjusted(1, 1, -1, -1), Qt::white);
    p.fillRect(QRectF(r.left() + 1, r.top() + 1, r.width() - 2, size >= 32 ? 3 : 2),
               QColor(0, 0, 128));
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (size >= 32) {
        p.fillRect(QRectF(r.left() + 3, r.top() + 6, 4, 4), QColor(255, 0, 0));
        p.fillRect(QRectF(r.left() + 8, r.top() + 6, 4, 4), QColor(0, 160, 0));
    }
}

// A 5.25" disk: a flexible black sleeve, a large hub hole, an oval read slot.
void drawFloppy525(QPainter& p, int size) {
    p.save();
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(10, 10, 14), 1));
    p.setBrush(QColor(46, 46, 54));
    p.drawRect(QRectF(2.5, 2.5, 27, 27));
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(4, 4, 18, 6), QColor(245, 245, 235));
    p.fillRect(QRectF(5, 6, 14, 1), QColor(90, 90, 200));
    p.fillRect(QRectF(5, 8, 10, 1), QColor(90, 90, 200));
    p.fillRect(QRectF(29, 7, 1, 4), QColor(200, 200, 200));
    p.setBrush(QColor(150, 110, 70));
    p.drawEllipse(QPointF(16, 17), 5.5, 5.5);
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QPointF(16, 17), 3.5, 3.5);
    p.setBrush(QColor(20, 20, 24));
    p.drawEllipse(QPointF(16, 17), 2, 2);
    p.setBrush(QColor(120, 80, 50));
    p.drawRoundedRect(QRectF(14, 23.5, 4, 6), 2, 2);
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QPointF(10, 18), 1, 1);
    p.restore();
}

void drawCableCross(QPainter& p, int size) {
    p.save();
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawLine(QPointF(16, 22), QPointF(16, 30));
    p.drawLine(QPointF(6, 30), QPointF(26, 30));
    p.setPen(QPen(QColor(110, 0, 0), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 18), QPointF(13, 27));
    p.drawLine(QPointF(13, 18), QPointF(4, 27));
    p.setPen(QPen(QColor(235, 20, 20), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 18), QPointF(13, 27));
    p.drawLine(QPointF(13, 18), QPointF(4, 27));
    p.restore();
}

void drawLetters(QPainter& p, int size, Extra kind) {
    const QRectF area = corner(size, 0.62);
    QFont font(kind == Extra::LetterRaster ? QStringLiteral("DejaVu Sans")
                                           : QStringLiteral("DejaVu Serif"));
    font.setBold(true);
    font.setPixelSize(static_cast<int>(area.height()));
    if (kind == Extra::LetterType1) font.setItalic(true);
    QPainterPath text;
    auto letters = [&](const QString& s, const QPointF& offset) {
        QPainterPath path;
        path.addText(0, 0, font, s);
        const QRectF box = path.boundingRect();
        const QPointF to = area.center() - box.center() + offset;
        return path.translated(to);
    };
    p.save();
    if (kind == Extra::LetterRaster) {
        // Raster fonts are bitmaps: hard edges, no smoothing.
        p.setRenderHint(QPainter::Antialiasing, false);
        const QPainterPath a = letters(QStringLiteral("A"), {});
        p.strokePath(a, QPen(Qt::white, size / 10.0));
        p.fillPath(a, QColor(200, 0, 0));
    } else if (kind == Extra::LetterTrueType) {
        font.setPixelSize(static_cast<int>(area.height() * 0.85));
        const double shift = size / 10.0;
        const QPainterPath back = letters(QStringLiteral("T"), {-shift, -shift});
        const QPainterPath front = letters(QStringLiteral("T"), {shift, shift * 0.6});
        p.strokePath(back.united(front), QPen(Qt::white, size / 12.0));
        p.fillPath(back, QColor(120, 120, 120));
        p.fillPath(front, QColor(0, 60, 170));
    } else {
        const QPainterPath a = letters(QStringLiteral("a"), {});
        p.strokePath(a, QPen(Qt::white, size / 10.0));
        p.fillPath(a, QColor(190, 0, 30));
    }
    p.restore();
}

// The defragmenter's map of disk clusters in three states.
void drawDefragBlocks(QPainter& p, int size) {
    const int cells = size >= 32 ? 4 : 3;
    const double cell = size >= 32 ? 4 : 3;
    const QRectF area(size - cells * cell - 2, size - cells * cell - 2, cells * cell + 1,
                      cells * cell + 1);
    p.fillRect(area, Qt::black);
    const QColor states[] = {QColor(0, 0, 200), QColor(230, 0, 0), QColor(0, 220, 230), Qt::white};
    for (int i = 0; i < cells * cells; ++i) {
        const QRectF block(area.left() + 1 + (i % cells) * cell,
                           area.top() + 1 + (i / cells) * cell, cell - 1, cell - 1);
        p.fillRect(block, states[(i * 7 + i / cells) % 4]);
    }
}

QImage compose(const SlotArt& art, int size, const QString& root) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (art.base) p.drawImage(0, 0, loadTango(root, size, art.base));
    switch (art.extra) {
        case Extra::None:
            break;
        case Extra::Emblem:
            p.drawImage(corner(size, size >= 32 ? 0.56 : 0.65), loadTango(root, 16, art.emblem));
            break;
        case Extra::WindowGlyph:
            drawWindowGlyph(p, size);
            break;
        case Extra::Floppy525:
            drawFloppy525(p, size);
            break;
        case Extra::CableCross:
            drawCableCross(p, size);
            break;
        case Extra::LetterRaster:
        case Extra::LetterTrueType:
        case Extra::LetterType1:
            drawLetters(p, size, art.extra);
            break;
        case Extra::DefragBlocks:
            drawDefragBlocks(p, size);
            break;
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

IconArt slotIconArt(int id, const QString& tangoRoot) {
    for (const SlotArt& art : kSlotArt)
        if (art.id == id) return {compose(art, 32, tangoRoot), compose(art, 16, tangoRoot)};
    throw std::invalid_argument("no artwork for slot icon " + std::to_string(id));
}

QByteArray slotIconFile(const IconArt& art) {
    return encodeIcon({toIconImage8(art.large), toIconImage8(art.small)});
}

}  // namespace zarvo::resgen
