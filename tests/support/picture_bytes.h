#pragma once

// Pictures as the bytes of a file, for tests that need one with
// transparency.

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <string>

namespace zarvo::test {

// A PNG `side` pixels square, see-through but for `square` in `colour`.
inline std::string pngOfSquare(int side, const QRect& square, const QColor& colour) {
    QImage picture(side, side, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(square, colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png.toStdString();
}

}  // namespace zarvo::test
