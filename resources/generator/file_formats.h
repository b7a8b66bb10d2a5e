#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRgb>
#include <cstdint>
#include <vector>

namespace zarvo::resgen {

// A Windows boot-screen file, written by the program's own screen file
// writer: 8-bit uncompressed bitmap whose biClrImportant low byte starts the
// palette band Windows 98 rotates (0 = still picture). `picture` must be
// 320 x 400, Format_Indexed8 with a 256-entry colour table.
QByteArray encodeScreenBmp(const QImage& picture, int bandStart);

// One image of an icon or cursor file, stored as a palette DIB with an AND
// mask, because Windows 98 reads only DIB images.
struct IconImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8;         // 1, 4 or 8
    std::vector<QRgb> palette;    // at most 1 << bitsPerPixel entries
    std::vector<uint8_t> pixels;  // palette indices, top row first
    std::vector<bool> transparent;
};

QByteArray encodeIcon(const std::vector<IconImage>& images);
QByteArray encodeCursor(const IconImage& image, QPoint hotspot);

// GIF89a of a Format_Indexed8 picture with at most 256 colours.
QByteArray encodeGif(const QImage& picture);

}  // namespace zarvo::resgen
