#pragma once

// Pictures as the bytes of a file.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <string>

namespace zarvo::test {

// `picture` saved in `format` ("BMP", "PNG", "JPEG"...).
inline std::string fileBytes(const QImage& picture, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, format)) << format;
    return bytes.toStdString();
}

// A PNG `side` pixels square, see-through but for `square` in `colour`.
inline std::string pngOfSquare(int side, const QRect& square, const QColor& colour) {
    QImage picture(side, side, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(square, colour);
    return fileBytes(picture, "PNG");
}

}  // namespace zarvo::test
