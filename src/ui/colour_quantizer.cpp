#include "ui/colour_quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zarvo {
namespace {

constexpr int kRedWeight = 3;
constexpr int kGreenWeight = 4;
constexpr int kBlueWeight = 2;

// Up to this many distinct colours are clustered exactly; a photo's hundred
// thousand are first gathered into cells of 32 levels a channel, each
// standing at the mean of its pixels, which keeps the clustering quick.
constexpr std::size_t kExactClustering = 4096;

struct Cluster {
    std::array<double, 3> mean;
    double count;
};

struct Box {
    std::vector<Cluster> members;
    double pixels = 0;
    int axis = 0;
    double range = 0;

    void measure() {
        pixels = 0;
        std::array<double, 3> lo{255, 255, 255};
        std::array<double, 3> hi{0, 0, 0};
        for (const Cluster& c : members) {
            pixels += c.count;
            for (int i = 0; i < 3; ++i) {
                lo[i] = std::min(lo[i], c.mean[i]);
                hi[i] = std::max(hi[i], c.mean[i]);
            }
        }
        range = -1;
        for (int i = 0; i < 3; ++i) {
            if (hi[i] - lo[i] > range) {
                range = hi[i] - lo[i];
                axis = i;
            }
        }
    }

    // Large boxes with many pixels are split first: a sky gradient keeps
    // enough steps while a lone highlight still gets its own entry.
    double priority() const { return members.size() < 2 ? -1.0 : range * std::sqrt(pixels); }

    std::array<double, 3> mean() const {
        std::array<double, 3> sum{0, 0, 0};
        for (const Cluster& c : members)
            for (int i = 0; i < 3; ++i) sum[i] += c.mean[i] * c.count;
        for (double& s : sum) s /= pixels;
        return sum;
    }
};

std::vector<std::array<double, 3>> medianCut(std::vector<Cluster> clusters, int maxColours) {
    std::vector<Box> boxes(1);
    boxes[0].members = std::move(clusters);
    boxes[0].measure();
    while (static_cast<int>(boxes.size()) < maxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return a.priority() < b.priority();
        });
        if (widest->priority() < 0) break;
        Box& box = *widest;
        const int axis = box.axis;
        std::sort(
            box.members.begin(), box.members.end(),
            [axis](const Cluster& a, const Cluster& b) { return a.mean[axis] < b.mean[axis]; });
        double half = 0;
        std::size_t cut = 1;
        for (; cut < box.members.size() - 1; ++cut) {
            half += box.members[cut - 1].count;
            if (half * 2 >= box.pixels) break;
        }
        Box upper;
        upper.members.assign(box.members.begin() + static_cast<long>(cut), box.members.end());
        box.members.resize(cut);
        box.measure();
        upper.measure();
        boxes.push_back(std::move(upper));
    }
    std::vector<std::array<double, 3>> means;
    for (const Box& box : boxes) means.push_back(box.mean());
    return means;
}

QRgb rounded(const std::array<double, 3>& c) {
    auto channel = [](double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); };
    return qRgb(channel(c[0]), channel(c[1]), channel(c[2]));
}

// Median cut places its colours at box means, which for a photo leaves many
// of them between the colours that matter; a few rounds of k-means move each
// entry to the centre of the pixels it actually stands for.
std::vector<QRgb> refine(const std::vector<Cluster>& clusters,
                         std::vector<std::array<double, 3>> centres) {
    constexpr int kRounds = 6;
    std::vector<int> owner(clusters.size(), -1);
    for (int round = 0; round < kRounds; ++round) {
        std::vector<QRgb> palette;
        for (const auto& c : centres) palette.push_back(rounded(c));
        const PaletteMatcher matcher(palette);
        bool moved = false;
        std::vector<std::array<double, 4>> sums(centres.size(), {0, 0, 0, 0});
        for (std::size_t i = 0; i < clusters.size(); ++i) {
            const Cluster& c = clusters[i];
            const int nearest = matcher.nearest(static_cast<int>(std::lround(c.mean[0])),
                                                static_cast<int>(std::lround(c.mean[1])),
                                                static_cast<int>(std::lround(c.mean[2])));
            moved |= owner[i] != nearest;
            owner[i] = nearest;
            auto& sum = sums[static_cast<std::size_t>(nearest)];
            for (int k = 0; k < 3; ++k) sum[k] += c.mean[k] * c.count;
            sum[3] += c.count;
        }
        if (!moved) break;
        for (std::size_t k = 0; k < centres.size(); ++k)
            if (sums[k][3] > 0)
                for (int ch = 0; ch < 3; ++ch) centres[k][ch] = sums[k][ch] / sums[k][3];
    }
    std::vector<QRgb> palette;
    for (const auto& c : centres) palette.push_back(rounded(c));
    std::sort(palette.begin(), palette.end());
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    return palette;
}

}  // namespace

std::vector<QRgb> choosePalette(const std::vector<QRgb>& colours, int maxColours) {
    std::vector<QRgb> sorted;
    sorted.reserve(colours.size());
    for (QRgb colour : colours) sorted.push_back(colour | 0xff000000u);
    std::sort(sorted.begin(), sorted.end());

    std::vector<Cluster> distinct;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t end = i;
        while (end < sorted.size() && sorted[end] == sorted[i]) ++end;
        const QRgb c = sorted[i];
        distinct.push_back(
            {{double(qRed(c)), double(qGreen(c)), double(qBlue(c))}, double(end - i)});
        i = end;
    }
    if (distinct.size() <= static_cast<std::size_t>(std::max(maxColours, 0))) {
        std::vector<QRgb> exact;
        for (const Cluster& c : distinct) exact.push_back(rounded(c.mean));
        return exact;
    }

    std::vector<Cluster> clusters;
    if (distinct.size() <= kExactClustering) {
        clusters = std::move(distinct);
    } else {
        std::vector<std::array<double, 4>> cells(32 * 32 * 32, {0, 0, 0, 0});
        for (const Cluster& c : distinct) {
            const int key =
                (int(c.mean[0]) >> 3) << 10 | (int(c.mean[1]) >> 3) << 5 | int(c.mean[2]) >> 3;
            auto& cell = cells[static_cast<std::size_t>(key)];
            for (int k = 0; k < 3; ++k) cell[k] += c.mean[k] * c.count;
            cell[3] += c.count;
        }
        for (const auto& cell : cells)
            if (cell[3] > 0)
                clusters.push_back(
                    {{cell[0] / cell[3], cell[1] / cell[3], cell[2] / cell[3]}, cell[3]});
    }
    return refine(clusters, medianCut(clusters, maxColours));
}

PaletteMatcher::PaletteMatcher(std::vector<QRgb> palette) : palette_(std::move(palette)) {
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        const QRgb c = palette_[i];
        byGreen_.push_back({qRed(c), qGreen(c), qBlue(c), static_cast<int>(i)});
    }
    std::sort(byGreen_.begin(), byGreen_.end(),
              [](const Candidate& a, const Candidate& b) { return a.green < b.green; });
}

int PaletteMatcher::nearest(QRgb colour) const {
    return nearest(qRed(colour), qGreen(colour), qBlue(colour));
}

int PaletteMatcher::nearest(int red, int green, int blue) const {
    if (byGreen_.empty()) return 0;
    // Searched outward from the nearest green: once green alone is further
    // than the best match on both sides, nothing beyond can be closer.
    const auto start =
        std::lower_bound(byGreen_.begin(), byGreen_.end(), green,
                         [](const Candidate& c, int value) { return c.green < value; });
    long best = -1;
    int bestIndex = 0;
    auto consider = [&](const Candidate& c) {
        const long dg = c.green - green;
        const long greenPart = kGreenWeight * dg * dg;
        if (best >= 0 && greenPart >= best) return false;
        const long dr = c.red - red;
        const long db = c.blue - blue;
        const long distance = kRedWeight * dr * dr + greenPart + kBlueWeight * db * db;
        if (best < 0 || distance < best || (distance == best && c.index < bestIndex)) {
            best = distance;
            bestIndex = c.index;
        }
        return true;
    };
    auto up = start;
    auto down = start;
    bool upOpen = true;
    bool downOpen = true;
    while (upOpen || downOpen) {
        if (upOpen) upOpen = up != byGreen_.end() && consider(*up++);
        if (downOpen) downOpen = down != byGreen_.begin() && consider(*--down);
    }
    return bestIndex;
}

std::vector<std::uint8_t> mapToPalette(const QImage& picture, const PaletteMatcher& matcher,
                                       bool dither, const std::vector<std::uint8_t>& region) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    std::vector<std::uint8_t> indices(std::size_t(width) * std::size_t(height), 0);
    auto inside = [&](int x, int y) {
        return region.empty() || region[std::size_t(y) * std::size_t(width) + std::size_t(x)] != 0;
    };
    const std::vector<QRgb>& palette = matcher.palette();

    // Error in sixteenths, one row ahead, with a pixel of margin each side;
    // rows alternate direction so that the error does not drift one way.
    std::vector<int> current(std::size_t(width + 2) * 3, 0);
    std::vector<int> next(current.size(), 0);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = leftToRight ? i : width - 1 - i;
            if (!inside(x, y)) continue;
            const std::size_t at = std::size_t(x + 1) * 3;
            int want[3] = {qRed(row[x]), qGreen(row[x]), qBlue(row[x])};
            if (dither)
                for (int c = 0; c < 3; ++c)
                    want[c] = std::clamp(want[c] + (current[at + c] + 8) / 16, 0, 255);
            const int index = matcher.nearest(want[0], want[1], want[2]);
            indices[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                static_cast<std::uint8_t>(index);
            if (!dither) continue;
            const QRgb got = palette[std::size_t(index)];
            const int error[3] = {want[0] - qRed(got), want[1] - qGreen(got), want[2] - qBlue(got)};
            auto give = [&](std::vector<int>& line, int tx, int ty, int share) {
                if (tx < 0 || tx >= width || ty >= height || !inside(tx, ty)) return;
                const std::size_t to = std::size_t(tx + 1) * 3;
                for (int c = 0; c < 3; ++c) line[to + c] += error[c] * share;
            };
            give(current, x + step, y, 7);
            give(next, x - step, y + 1, 3);
            give(next, x, y + 1, 5);
            give(next, x + step, y + 1, 1);
        }
        std::swap(current, next);
        std::fill(next.begin(), next.end(), 0);
    }
    return indices;
}

}  // namespace zarvo
