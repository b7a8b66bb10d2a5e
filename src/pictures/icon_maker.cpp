#include "pictures/icon_maker.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "formats/ico_header.h"
#include "formats/ico_judge.h"
#include "formats/ico_writer.h"
#include "pictures/colour_quantizer.h"
#include "pictures/picture_reader.h"
#include "pictures/resampler.h"

namespace zarvo {
namespace {

using Kind = PictureError::Kind;

// Windows 98's small and large icons; the large ones may be set to 48 x 48,
// which the icon holds only when the picture has the detail for it.
constexpr int kSmallSide = 16;
constexpr int kLargeSide = 32;
// Windows 98 draws a pixel or leaves it to the mask, nothing between; at
// least half opaque, it is drawn.
constexpr int kDrawnFrom = 128;

// Formats whose images are one picture at several sizes, not frames.
bool holdsSizes(const QByteArray& format) {
    return format == "ico" || format == "cur" || format == "icns";
}

// The picture the sizes are drawn from: an SVG is drawn anew at each size,
// any other picture scaled from its images.
class Source {
public:
    explicit Source(const QString& path);

    bool hasLargest() const;
    // The picture fitted into a side x side square, centred, ARGB32.
    QImage drawn(int side) const;

private:
    struct Image {
        QImage picture;
        int bitCount;  // an icon image's own; 0 when the format has no say
    };
    // The smallest image that covers `side`, else the largest; the richest
    // colours among images of one size.
    const Image& bestFor(int side) const;

    PictureReader reader_;
    QSize vectorSize_;
    std::vector<Image> images_;
};

int longest(QSize size) {
    return std::max(size.width(), size.height());
}

QSize fitted(QSize size, int side) {
    const QSize fit = size.scaled(side, side, Qt::KeepAspectRatio);
    return fit.expandedTo(QSize(1, 1));
}

Source::Source(const QString& path) : reader_(path) {
    if (reader_.isDrawing()) {
        vectorSize_ = reader_.size().isValid() ? reader_.size()
                                               : QSize(ico::kLargestShown, ico::kLargestShown);
        reader_.read(PictureNeed{QSizeF(kSmallSide, kSmallSide)});
        return;
    }
    const QByteArray& data = reader_.data();
    const std::string_view bytes(data.constData(), std::size_t(data.size()));
    const auto header = ico::readHeader(bytes);
    // A photo is decoded no larger than the filter needs for the largest
    // icon; an icon's images are read as they are.
    const bool sizes = holdsSizes(reader_.format());
    const PictureNeed need =
        sizes ? PictureNeed{}
              : PictureNeed{QSizeF(ico::kLargestShown, ico::kLargestShown), false, 2.0};
    const int count = sizes ? reader_.imageCount() : 1;
    std::optional<PictureError> first;
    for (int i = 0; i < count; ++i) {
        QImage picture;
        try {
            picture = reader_.read(need, i);
        } catch (const PictureError& error) {
            // One damaged image of an icon spoils no other.
            if (error.kind() == Kind::TooLarge) throw;
            if (!first) first = error;
            continue;
        }
        // A photo its decoder cannot make smaller (a WebP, a TIFF) is
        // brought down once to what the largest icon needs, not again for
        // each size.
        const int most = 4 * ico::kLargestShown;
        if (!sizes && longest(picture.size()) > most) {
            const QSize size = fitted(picture.size(), most);
            picture = resampled(picture, QRectF(picture.rect()), size, Alpha::Keep);
        }
        int bitCount = 0;
        if (header && std::size_t(i) < header->entries.size())
            bitCount = ico::imageBitCount(bytes, header->entries[std::size_t(i)]).value_or(0);
        images_.push_back({std::move(picture), bitCount});
    }
    if (images_.empty()) throw *first;
}

bool Source::hasLargest() const {
    if (!vectorSize_.isEmpty()) return true;
    return std::any_of(images_.begin(), images_.end(), [](const Image& image) {
        return longest(image.picture.size()) >= ico::kLargestShown;
    });
}

const Source::Image& Source::bestFor(int side) const {
    auto better = [side](const Image& a, const Image& b) {
        const int sa = longest(a.picture.size());
        const int sb = longest(b.picture.size());
        if ((sa >= side) != (sb >= side)) return sa >= side;
        if (sa != sb) return sa >= side ? sa < sb : sa > sb;
        return a.bitCount > b.bitCount;
    };
    return *std::min_element(images_.begin(), images_.end(), better);
}

QImage Source::drawn(int side) const {
    QImage picture;
    if (!vectorSize_.isEmpty()) {
        picture = reader_.read(PictureNeed{QSizeF(fitted(vectorSize_, side))});
    } else {
        const QImage& best = bestFor(side).picture;
        const QSize size = fitted(best.size(), side);
        picture =
            best.size() == size ? best : resampled(best, QRectF(best.rect()), size, Alpha::Keep);
    }
    QImage square(side, side, QImage::Format_ARGB32);
    square.fill(Qt::transparent);
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    const int left = (side - picture.width()) / 2;
    const int top = (side - picture.height()) / 2;
    for (int y = 0; y < std::min(picture.height(), side); ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(picture.constScanLine(y)),
                    std::min(picture.width(), side),
                    reinterpret_cast<QRgb*>(square.scanLine(top + y)) + left);
    return square;
}

// One image of the icon: a palette of 1 << bitCount colours chosen for the
// picture, black among them for the pixels the mask shows through. Sixteen
// colours are dithered; 256 are close enough to an icon's own without.
ico::IndexedImage indexed(const QImage& drawn, int bitCount) {
    const int side = drawn.width();
    const std::size_t pixels = std::size_t(side) * std::size_t(side);
    ico::IndexedImage image;
    image.width = image.height = side;
    image.bitCount = bitCount;
    image.transparent.resize(pixels);
    std::vector<std::uint8_t> drawnPixels(pixels);
    QImage opaque(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(opaque.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(side) + std::size_t(x);
            const bool shown = qAlpha(in[x]) >= kDrawnFrom;
            image.transparent[at] = !shown;
            drawnPixels[at] = shown;
            out[x] = shown ? in[x] | 0xff000000u : qRgb(0, 0, 0);
        }
    }

    const QRgb black = qRgb(0, 0, 0);
    const int most = (1 << bitCount) - 1;  // one left for black
    Quantized quantized = quantize(opaque, most, bitCount < 8, drawnPixels);
    std::vector<QRgb>& palette = quantized.palette;
    auto blackAt = std::find(palette.begin(), palette.end(), black);
    if (blackAt == palette.end()) blackAt = palette.insert(palette.end(), black);
    const auto blackIndex = static_cast<std::uint8_t>(blackAt - palette.begin());
    image.indices = std::move(quantized.indices);
    image.indices.resize(pixels, blackIndex);
    for (std::size_t i = 0; i < pixels; ++i)
        if (image.transparent[i]) image.indices[i] = blackIndex;
    for (QRgb colour : palette) image.palette.push_back(colour & 0xffffffu);
    return image;
}

std::string iconFor(const Source& source) {
    std::vector<int> sides = {kSmallSide, kLargeSide};
    if (source.hasLargest()) sides.push_back(ico::kLargestShown);
    std::vector<ico::IndexedImage> images;
    for (int side : sides) {
        const QImage drawn = source.drawn(side);
        for (int bitCount : {4, 8}) images.push_back(indexed(drawn, bitCount));
    }
    return ico::encodeIcon(images);
}

}  // namespace

std::optional<std::string> windows98IconOf(const QString& hostPath) {
    try {
        return iconFor(Source(hostPath));
    } catch (const PictureError&) {
        return std::nullopt;
    }
}

void makeIconFile(const QString& input, const QString& output, const IconOptions& options) {
    saveMadeFile(output, options.replace, [&] { return iconFor(Source(input)); });
}

}  // namespace zarvo
