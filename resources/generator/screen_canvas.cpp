#include "screen_canvas.h"

#include <QPainter>
#include <cmath>
#include <stdexcept>

#include "paint_kit.h"
#include "pictures/colour_quantizer.h"

namespace zarvo::resgen {

ScreenCanvas::ScreenCanvas(int bandStart)
    : bandStart_(bandStart),
      shown_(kShownWidth, kHeight, QImage::Format_RGB32),
      bandOffset_(kStoredWidth * kHeight, -1) {
    if (bandStart < 0 || bandStart > 254) throw std::invalid_argument("band start");
    shown_.fill(Qt::black);
}

void ScreenCanvas::setBandColours(std::vector<QRgb> colours) {
    if (static_cast<int>(colours.size()) != bandLength())
        throw std::invalid_argument("band colour count");
    bandColours_ = std::move(colours);
}

QImage ScreenCanvas::coverage(const QPainterPath& shape) const {
    QImage mask(kStoredWidth, kHeight, QImage::Format_Grayscale8);
    mask.fill(0);
    QPainter painter(&mask);
    painter.scale(double(kStoredWidth) / kShownWidth, 1.0);
    painter.fillPath(shape, Qt::white);
    return mask;
}

void ScreenCanvas::addBand(const QPainterPath& shape, const Field& position, const Field& density) {
    if (bandLength() == 0) throw std::logic_error("still picture has no band");
    const QImage mask = coverage(shape);
    const int length = bandLength();
    for (int y = 0; y < kHeight; ++y) {
        const uchar* row = mask.constScanLine(y);
        for (int x = 0; x < kStoredWidth; ++x) {
            if (row[x] < 128) continue;
            const double sx = 2.0 * x + 1.0;
            const double sy = y + 0.5;
            if (density && density(sx, sy) <= hash01(x, y, 7919)) continue;
            // Entry i takes entry i+1's colour each frame, so a colour moves
            // to lower offsets; lower offsets at growing position make the
            // pattern flow forward.
            const long step = std::lround(std::floor(position(sx, sy)));
            bandOffset_[y * kStoredWidth + x] =
                static_cast<int>(((-step % length) + length) % length);
        }
    }
}

void ScreenCanvas::removeBand(const QPainterPath& shape) {
    const QImage mask = coverage(shape);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kStoredWidth; ++x)
            if (mask.constScanLine(y)[x] >= 128) bandOffset_[y * kStoredWidth + x] = -1;
}

QImage ScreenCanvas::toIndexed() const {
    if (bandLength() > 0 && bandColours_.empty()) throw std::logic_error("band colours unset");
    const QImage still =
        shown_.scaled(kStoredWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    const int stillEntries = bandStart_ == 0 ? 256 : bandStart_;

    std::vector<QRgb> stillColours;
    for (int y = 0; y < kHeight; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(still.constScanLine(y));
        for (int x = 0; x < kStoredWidth; ++x)
            if (bandOffset_[y * kStoredWidth + x] < 0) stillColours.push_back(row[x]);
    }
    std::vector<QRgb> palette = choosePalette(stillColours, stillEntries);
    if (palette.empty()) palette.push_back(qRgb(0, 0, 0));
    PaletteMatcher matcher(palette);
    palette.resize(stillEntries, qRgb(0, 0, 0));
    palette.insert(palette.end(), bandColours_.begin(), bandColours_.end());

    QImage indexed(kStoredWidth, kHeight, QImage::Format_Indexed8);
    indexed.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    for (int y = 0; y < kHeight; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(still.constScanLine(y));
        uchar* target = indexed.scanLine(y);
        for (int x = 0; x < kStoredWidth; ++x) {
            const int offset = bandOffset_[y * kStoredWidth + x];
            target[x] =
                static_cast<uchar>(offset >= 0 ? bandStart_ + offset : matcher.nearest(source[x]));
        }
    }
    return indexed;
}

}  // namespace zarvo::resgen
