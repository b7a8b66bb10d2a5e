#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>
#include <map>

#include "file_formats.h"

namespace zarvo::resgen {

// The first and last shell icon slot the program ships a picture for.
inline constexpr int kFirstSlotIcon = 200;
inline constexpr int kLastSlotIcon = 239;

// Full-colour artwork of one icon at the two sizes Windows 98 shows.
struct IconArt {
    QImage large;  // 32 x 32, ARGB32
    QImage small;  // 16 x 16, ARGB32
};

// Slot icon `id` composed from the Tango theme under `tangoRoot`
// (the folder holding 16x16/ and 32x32/).
IconArt slotIconArt(int id, const QString& tangoRoot);

// Palette DIB images of `art`: what an .ico file holds and Windows shows.
IconImage toIconImage8(const QImage& argb);
IconImage toIconImage4(const QImage& argb);
QImage fromIconImage(const IconImage& image);

QByteArray slotIconFile(const IconArt& art);
QByteArray pictureIconFile(const IconArt& firstSlot);  // 32, 16 and 48 px, 16 colours
QByteArray programIconFile();
QByteArray restartIconFile();
QByteArray helpIconFile();

inline constexpr QPoint kHandHotspot{5, 0};
QByteArray handCursorFile();

// The About window's close button, 36 x 37, as a GIF.
QByteArray closeButtonGif();

// The icon page's first preview: a Windows 98 desktop with some slot icons.
QImage desktopPreview(const std::map<int, IconArt>& slotIcons);

// A stand-in for the shell's icon cache file.
QByteArray shellIconCache(const std::map<int, IconArt>& slotIcons);

}  // namespace zarvo::resgen
