#pragma once

// Wallpaper bitmaps made from any picture Qt reads.

#include <QColor>
#include <QSize>
#include <QString>
#include <optional>
#include <string>

namespace zarvo {

// The bitmap's bytes (see IPictures::windowsBitmap); nullopt when the file
// is no picture.
std::optional<std::string> windowsBitmapOf(const QString& hostPath, QSize most,
                                           const QColor& background);

}  // namespace zarvo
