#include "pictures/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace zarvo {
namespace {

constexpr double kLobes = 3;

double sinc(double x) {
    if (x == 0) return 1;
    const double a = std::numbers::pi * x;
    return std::sin(a) / a;
}

double lanczos(double x) {
    return std::abs(x) < kLobes ? sinc(x) * sinc(x / kLobes) : 0;
}

// The source pixels each output pixel of one axis is made of, and how much
// each counts.
struct Taps {
    std::vector<int> first;      // per output pixel
    std::vector<int> count;      // per output pixel
    std::vector<float> weights;  // `count` of them per output pixel, in order
    std::vector<int> offset;     // where an output pixel's weights start
};

// Output pixel i stands at source position start + (i + 0.5) / scale. When
// shrinking, the filter is widened by the shrink so that it still averages
// away what the output cannot show; near the edges of the area it is cut
// off and its weights made to add up to one again.
Taps tapsFor(double start, double length, int sourceCount, int outCount) {
    const double scale = outCount / length;
    const double widen = std::max(1.0, 1 / scale);
    const double support = kLobes * widen;
    const int lo = std::clamp(static_cast<int>(std::floor(start)), 0, sourceCount - 1);
    const int hi = std::clamp(static_cast<int>(std::ceil(start + length)), lo + 1, sourceCount);
    Taps taps;
    for (int i = 0; i < outCount; ++i) {
        const double centre = start + (i + 0.5) / scale;
        const int from = std::max(lo, static_cast<int>(std::floor(centre - support)));
        const int to = std::min(hi - 1, static_cast<int>(std::ceil(centre + support)));
        std::vector<double> weights;
        double sum = 0;
        for (int j = from; j <= to; ++j) {
            weights.push_back(lanczos((j + 0.5 - centre) / widen));
            sum += weights.back();
        }
        taps.offset.push_back(static_cast<int>(taps.weights.size()));
        if (sum <= 0) {
            // Only when the area is a sliver at the very edge: the nearest
            // pixel stands for it.
            taps.first.push_back(std::clamp(static_cast<int>(std::floor(centre)), lo, hi - 1));
            taps.count.push_back(1);
            taps.weights.push_back(1);
            continue;
        }
        taps.first.push_back(from);
        taps.count.push_back(to - from + 1);
        for (double w : weights) taps.weights.push_back(static_cast<float>(w / sum));
    }
    return taps;
}

}  // namespace

QImage resampled(const QImage& picture, const QRectF& area, QSize size, Alpha alpha) {
    // The transparency is filtered as a fourth channel, with the colour.
    const bool withAlpha = alpha == Alpha::Keep && picture.hasAlphaChannel();
    QImage out(size, withAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (size.isEmpty() || picture.isNull() || area.isEmpty()) {
        out.fill(Qt::black);
        return out;
    }
    // Premultiplied colour is the colour over black.
    const QImage source = picture.convertToFormat(
        picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    const std::size_t channels = withAlpha ? 4 : 3;
    const int width = size.width();
    const int height = size.height();
    const Taps across = tapsFor(area.left(), area.width(), source.width(), width);
    const Taps down = tapsFor(area.top(), area.height(), source.height(), height);

    // Across first, only for the rows the second pass reads.
    const int firstRow = down.first.front();
    const int lastRow = down.first.back() + down.count.back() - 1;
    const int firstColumn = across.first.front();
    const int lastColumn = across.first.back() + across.count.back() - 1;
    std::vector<float> rows(std::size_t(lastRow - firstRow + 1) * std::size_t(width) * channels);
    std::vector<float> line(std::size_t(lastColumn - firstColumn + 1) * channels);
    for (int y = firstRow; y <= lastRow; ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = firstColumn; x <= lastColumn; ++x) {
            float* to = &line[std::size_t(x - firstColumn) * channels];
            to[0] = static_cast<float>(qRed(pixels[x]));
            to[1] = static_cast<float>(qGreen(pixels[x]));
            to[2] = static_cast<float>(qBlue(pixels[x]));
            if (withAlpha) to[3] = static_cast<float>(qAlpha(pixels[x]));
        }
        float* row = &rows[std::size_t(y - firstRow) * std::size_t(width) * channels];
        for (int x = 0; x < width; ++x) {
            const float* w = &across.weights[std::size_t(across.offset[std::size_t(x)])];
            const float* in =
                &line[std::size_t(across.first[std::size_t(x)] - firstColumn) * channels];
            float* to = &row[std::size_t(x) * channels];
            std::fill_n(to, channels, 0.0f);
            for (int k = 0; k < across.count[std::size_t(x)]; ++k, in += channels)
                for (std::size_t c = 0; c < channels; ++c) to[c] += w[k] * in[c];
        }
    }

    std::vector<float> sum(std::size_t(width) * channels);
    auto channel = [](float v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); };
    for (int y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* w = &down.weights[std::size_t(down.offset[std::size_t(y)])];
        for (int k = 0; k < down.count[std::size_t(y)]; ++k) {
            const float* in = &rows[std::size_t(down.first[std::size_t(y)] + k - firstRow) *
                                    std::size_t(width) * channels];
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += w[k] * in[i];
        }
        auto* pixels = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float* at = &sum[std::size_t(x) * channels];
            if (!withAlpha) {
                pixels[x] = qRgb(channel(at[0]), channel(at[1]), channel(at[2]));
                continue;
            }
            // The filter's ringing may leave a colour above its opacity,
            // which premultiplied pixels cannot hold.
            const int opacity = channel(at[3]);
            pixels[x] = qRgba(std::min(channel(at[0]), opacity), std::min(channel(at[1]), opacity),
                              std::min(channel(at[2]), opacity), opacity);
        }
    }
    return out;
}

}  // namespace zarvo
