#include "pictures/screen_maker.h"

#include <QColor>
#include <algorithm>
#include <cmath>

#include "formats/screen_file.h"
#include "pictures/colour_quantizer.h"
#include "pictures/picture_reader.h"
#include "pictures/resampler.h"

namespace zarvo {
namespace {

constexpr int kWidth = screen::kWidth;
constexpr int kHeight = screen::kHeight;
// Windows stretches the file's 320 x 400 pixels over a 4:3 screen, so a
// stored pixel is 5/3 as wide as it is tall; in square pixels the screen is
// this wide at the file's height.
constexpr double kPixelAspect = 5.0 / 3.0;
constexpr double kScreenWidth = kWidth * kPixelAspect;
constexpr double kScreenAspect = 4.0 / 3.0;
// Decoded lines of a JPEG for each line of the screen, at least. With one
// and a half, a 4000 x 3000 photo decodes at a quarter of its size, which
// came within 0.2 dB of decoding it whole in a fraction of the time.
constexpr double kDecodedPerScreenLine = 1.5;

double frameScale(QSizeF size, bool fill) {
    const double across = kScreenWidth / size.width();
    const double down = kHeight / size.height();
    return fill ? std::max(across, down) : std::min(across, down);
}

// Decoded with kDecodedPerScreenLine lines for each line of the screen, so
// that the Lanczos filter has the detail to work from.
QImage readPicture(const QString& path, bool fill) {
    return PictureReader(path).read(
        PictureNeed{QSizeF(kScreenWidth, kHeight), fill, kDecodedPerScreenLine});
}

// The picture framed on a black 320 x 400 screen as Windows will stretch
// it, and the part of the screen the picture covers.
struct Framed {
    QImage screen;
    QRect picture;
};

Framed frame(const QImage& picture, bool fill) {
    Framed framed{QImage(kWidth, kHeight, QImage::Format_RGB32), QRect()};
    framed.screen.fill(Qt::black);
    const double width = picture.width();
    const double height = picture.height();
    // The crop keeps its fractions: rounded to whole pixels, a small picture
    // would be squeezed or stretched by up to a pixel.
    QRectF area(0, 0, width, height);
    if (fill) {
        if (width / height > kScreenAspect) {
            area.setWidth(height * kScreenAspect);
            area.moveLeft((width - area.width()) / 2);
        } else {
            area.setHeight(width / kScreenAspect);
            area.moveTop((height - area.height()) / 2);
        }
        framed.picture = QRect(0, 0, kWidth, kHeight);
    } else {
        const double scale = frameScale(picture.size(), false);
        const int across =
            std::clamp(static_cast<int>(std::lround(width * scale / kPixelAspect)), 1, kWidth);
        const int down = std::clamp(static_cast<int>(std::lround(height * scale)), 1, kHeight);
        framed.picture = QRect((kWidth - across) / 2, (kHeight - down) / 2, across, down);
    }
    // Transparent parts show the black of the bars.
    const QImage scaled = resampled(picture, area, framed.picture.size());
    for (int y = 0; y < scaled.height(); ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(scaled.constScanLine(y)), scaled.width(),
                    reinterpret_cast<QRgb*>(framed.screen.scanLine(framed.picture.top() + y)) +
                        framed.picture.left());
    return framed;
}

// A cyclic run of hues, so that the bar flows without a seam as it rotates.
std::vector<QRgb> bandColours(int count) {
    std::vector<QRgb> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(QColor::fromHsvF(float(i) / float(count), 0.75f, 1.0f).rgb());
    return colours;
}

}  // namespace

std::string screenFileFor(const QImage& picture, const ScreenOptions& options) {
    if (picture.isNull()) throw std::invalid_argument("no picture");
    const int band = options.bandStart;
    if (band < 0 || band >= screen::kPaletteSize)
        throw std::invalid_argument("the band starts at a palette entry 1-255");
    const Framed framed = frame(picture, options.fill);

    // What the quantizer sees: the picture, minus the bar when there is one.
    const int barTop = band > 0 ? kHeight - kBandBarRows : kHeight;
    const QRect photo = framed.picture.intersected(QRect(0, 0, kWidth, barTop));
    std::vector<std::uint8_t> region(std::size_t(kWidth) * kHeight, 0);
    for (int y = photo.top(); y <= photo.bottom(); ++y)
        for (int x = photo.left(); x <= photo.right(); ++x)
            region[std::size_t(y) * kWidth + std::size_t(x)] = 1;
    const bool bars = photo != QRect(0, 0, kWidth, barTop);

    // The still picture keeps the entries before the band, one of them black
    // for the bars.
    const int stillEntries = band > 0 ? band : screen::kPaletteSize;
    const int pictureEntries = bars ? std::max(stillEntries - 1, 1) : stillEntries;
    Quantized quantized = quantize(framed.screen, pictureEntries, options.dither, region);
    std::vector<QRgb>& still = quantized.palette;
    std::vector<std::uint8_t>& pixels = quantized.indices;
    const QRgb black = qRgb(0, 0, 0);
    if (bars && static_cast<int>(still.size()) < stillEntries &&
        std::find(still.begin(), still.end(), black) == still.end())
        still.push_back(black);
    if (still.empty()) still.push_back(black);
    const PaletteMatcher matcher(still, options.dither ? kEvenWeights : kEyeWeights);

    screen::Palette palette{};
    for (std::size_t i = 0; i < still.size(); ++i) palette[i] = still[i] & 0xffffffu;
    const auto blackIndex = static_cast<std::uint8_t>(matcher.nearest(black));
    for (int y = 0; y < barTop; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (!region[std::size_t(y) * kWidth + std::size_t(x)])
                pixels[std::size_t(y) * kWidth + std::size_t(x)] = blackIndex;

    if (band > 0) {
        const int length = screen::kPaletteSize - band;
        const std::vector<QRgb> cycle = bandColours(length);
        for (int i = 0; i < length; ++i)
            palette[std::size_t(band + i)] = cycle[std::size_t(i)] & 0xffffffu;
        // Windows gives entry i the colour of entry i + 1 each frame, so the
        // entries fall to the right for the colours to flow that way. Pixels
        // between two entries are dithered between them, which keeps the bar
        // smooth: the rotation moves both alike.
        static constexpr int kBayer[4][4] = {
            {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        for (int y = barTop; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const double position =
                    (x + 0.5) * length / kWidth + (kBayer[y % 4][x % 4] + 0.5) / 16 - 0.5;
                const int step = static_cast<int>(std::floor(position));
                const int offset = ((-step % length) + length) % length;
                pixels[std::size_t(y) * kWidth + std::size_t(x)] =
                    static_cast<std::uint8_t>(band + offset);
            }
        }
    }
    return screen::encode(pixels, palette, band);
}

std::string screenFileFrom(const QString& input, const ScreenOptions& options) {
    return screenFileFor(readPicture(input, options.fill), options);
}

void makeScreenFile(const QString& input, const QString& output, const ScreenOptions& options) {
    saveMadeFile(output, options.replace, [&] { return screenFileFrom(input, options); });
}

}  // namespace zarvo
