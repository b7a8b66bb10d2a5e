#pragma once

// Any picture Qt reads made into a Windows 98 screen file: framed for the
// 4:3 screen it is stretched over, fitted into 256 colours, and optionally
// given a colour-cycling bar that Windows animates while it boots.

#include <QImage>
#include <QString>
#include <string>

#include "pictures/picture_file.h"

namespace zarvo {

struct ScreenOptions {
    // Crop the picture to fill the screen instead of showing all of it
    // between black bars.
    bool fill = false;
    bool dither = true;
    // 0 for a still picture, else the first of the palette entries, up to
    // 255, that the bar along the bottom edge cycles through.
    int bandStart = 0;
    // Replace an output file that is already there.
    bool replace = false;
};

// The rows the colour-cycling bar takes at the bottom of the picture.
constexpr int kBandBarRows = 12;

// The screen file's bytes for a picture. Throws std::invalid_argument for a
// band start outside 1-255 other than 0, or a null picture.
std::string screenFileFor(const QImage& picture, const ScreenOptions& options);

// Reads `input` and makes its screen file. Throws PictureError.
std::string screenFileFrom(const QString& input, const ScreenOptions& options);

// Reads `input`, makes its screen file and saves it as `output` whole or
// not at all. Throws PictureError.
void makeScreenFile(const QString& input, const QString& output, const ScreenOptions& options);

}  // namespace zarvo
