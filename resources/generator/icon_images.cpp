#include <QPainter>
#include <stdexcept>

#include "icons.h"
#include "pictures/colour_quantizer.h"

namespace zarvo::resgen {
namespace {

// Windows' 16-colour DIB palette, in the order its icons use.
const std::vector<QRgb> kVgaPalette = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
    qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

// Soft Tango edges become either opaque or see-through: an icon mask has
// one bit per pixel.
constexpr int kOpaqueAlpha = 128;

IconImage mapped(const QImage& source, int bitsPerPixel, PaletteMatcher& matcher) {
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    IconImage image;
    image.width = argb.width();
    image.height = argb.height();
    image.bitsPerPixel = bitsPerPixel;
    image.palette = matcher.palette();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const bool clear = qAlpha(row[x]) < kOpaqueAlpha;
            // A see-through pixel must be black: the screen is XORed with it.
            image.pixels.push_back(static_cast<uint8_t>(clear ? 0 : matcher.nearest(row[x])));
            image.transparent.push_back(clear);
        }
    }
    return image;
}

}  // namespace

IconImage toIconImage8(const QImage& source) {
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    std::vector<QRgb> opaque;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) >= kOpaqueAlpha) opaque.push_back(argb.pixel(x, y));
    // Entry 0 stays black for the see-through pixels.
    std::vector<QRgb> palette{qRgb(0, 0, 0)};
    for (QRgb colour : choosePalette(opaque, 255)) palette.push_back(colour);
    PaletteMatcher matcher(palette);
    return mapped(argb, 8, matcher);
}

IconImage toIconImage4(const QImage& source) {
    PaletteMatcher matcher(kVgaPalette);
    return mapped(source, 4, matcher);
}

QImage fromIconImage(const IconImage& image) {
    QImage argb(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const size_t i = static_cast<size_t>(y * image.width + x);
            argb.setPixel(x, y, image.transparent[i] ? 0u : image.palette.at(image.pixels[i]));
        }
    }
    return argb;
}

}  // namespace zarvo::resgen
