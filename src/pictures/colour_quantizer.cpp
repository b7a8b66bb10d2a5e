#include "pictures/colour_quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <set>

namespace zarvo {
namespace {

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

// The squared distance between two colours, by `weights`.
int distance(ColourWeights weights, int dr, int dg, int db) {
    return weights.red * dr * dr + weights.green * dg * dg + weights.blue * db * db;
}

// Median cut places its colours at box means, which for a photo leaves many
// of them between the colours that matter; a few rounds of k-means move each
// entry to the centre of the pixels it actually stands for.
std::vector<QRgb> refine(const std::vector<Cluster>& clusters,
                         std::vector<std::array<double, 3>> centres) {
    constexpr int kRounds = 6;
    std::vector<int> owner(clusters.size(), -1);
    for (int round = 0; round < kRounds; ++round) {
        // Each cluster lands in a cube of its own, where a matcher would
        // learn nothing: every entry is tried.
        std::vector<QRgb> palette;
        for (const auto& c : centres) palette.push_back(rounded(c));
        bool moved = false;
        std::vector<std::array<double, 4>> sums(centres.size(), {0, 0, 0, 0});
        for (std::size_t i = 0; i < clusters.size(); ++i) {
            const Cluster& c = clusters[i];
            const QRgb colour = rounded(c.mean);
            int nearest = 0;
            int best = std::numeric_limits<int>::max();
            for (std::size_t k = 0; k < palette.size(); ++k) {
                const int d = distance(kEyeWeights, qRed(palette[k]) - qRed(colour),
                                       qGreen(palette[k]) - qGreen(colour),
                                       qBlue(palette[k]) - qBlue(colour));
                if (d < best) {
                    best = d;
                    nearest = static_cast<int>(k);
                }
            }
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

constexpr int kCubeShift = 3;
constexpr int kCubesPerChannel = 256 >> kCubeShift;
constexpr int kLargeShift = 5;
constexpr int kLargePerChannel = 256 >> kLargeShift;

// Error diffusion of `picture` onto the matcher's palette; `wanted`, when
// given, gathers for each entry the sum of the colours it was chosen for,
// the error carried to them included, and their count.
std::vector<std::uint8_t> diffuse(const QImage& picture, const PaletteMatcher& matcher, bool dither,
                                  const std::vector<std::uint8_t>& region,
                                  std::vector<std::array<double, 4>>* wanted) {
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

    // The error one row ahead, with a pixel of margin each side; rows
    // alternate direction so that the error does not drift one way. It keeps
    // its fractions: rounded, a faint gradient loses its finest steps.
    const std::size_t line = std::size_t(width + 2) * 3;
    std::vector<float> errors(2 * line, 0.0f);
    for (int y = 0; y < height; ++y) {
        float* current = &errors[std::size_t(y % 2) * line];
        float* next = &errors[std::size_t((y + 1) % 2) * line];
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = leftToRight ? i : width - 1 - i;
            if (!inside(x, y)) continue;
            const std::size_t at = std::size_t(x + 1) * 3;
            float want[3] = {float(qRed(row[x])), float(qGreen(row[x])), float(qBlue(row[x]))};
            // The matcher is asked for a colour there is, but the entry is
            // told what was wanted: near black, clamping would tell it to
            // be lighter than the picture needs.
            float asked[3] = {want[0], want[1], want[2]};
            if (dither)
                for (int c = 0; c < 3; ++c) {
                    asked[c] = want[c] + current[at + c];
                    want[c] = std::clamp(asked[c], 0.0f, 255.0f);
                }
            const int index =
                matcher.nearest(int(want[0] + 0.5f), int(want[1] + 0.5f), int(want[2] + 0.5f));
            indices[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                static_cast<std::uint8_t>(index);
            if (wanted) {
                auto& sum = (*wanted)[std::size_t(index)];
                for (int c = 0; c < 3; ++c) sum[c] += asked[c];
                sum[3] += 1;
            }
            if (!dither) continue;
            const QRgb got = palette[std::size_t(index)];
            const float error[3] = {want[0] - float(qRed(got)), want[1] - float(qGreen(got)),
                                    want[2] - float(qBlue(got))};
            auto give = [&](float* to, int tx, int ty, float share) {
                if (tx < 0 || tx >= width || ty >= height || !inside(tx, ty)) return;
                for (int c = 0; c < 3; ++c)
                    to[std::size_t(tx + 1) * 3 + std::size_t(c)] += error[c] * share;
            };
            give(current, x + step, y, 7 / 16.0f);
            give(next, x - step, y + 1, 3 / 16.0f);
            give(next, x, y + 1, 5 / 16.0f);
            give(next, x + step, y + 1, 1 / 16.0f);
        }
        std::fill(current, current + line, 0.0f);
    }
    return indices;
}

// How far the dithered picture is from the picture as the eye sees both
// from a little way off, where neighbouring dots merge: the sum of squares
// of their difference blurred by the binomial filter 1 4 6 4 1 across and
// down, a Gaussian of one pixel in all but name.
double blurredError(const QImage& rgb, const std::vector<QRgb>& palette,
                    const std::vector<std::uint8_t>& indices,
                    const std::vector<std::uint8_t>& region) {
    const int width = rgb.width();
    const int height = rgb.height();
    const std::size_t rowSize = std::size_t(width) * 3;
    // The difference of one row, with two pixels of nothing each side, and
    // the last five rows blurred across, row k in slot k mod 5; the rows
    // above the picture and below it are nothing.
    std::vector<float> difference(rowSize + 12, 0.0f);
    std::vector<float> across(5 * rowSize, 0.0f);
    auto slot = [&](int k) { return &across[std::size_t((k + 5) % 5) * rowSize]; };
    double total = 0;
    for (int k = 0; k < height + 2; ++k) {
        float* out = slot(k);
        if (k < height) {
            const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(k));
            float* d = &difference[6];
            for (int x = 0; x < width; ++x, d += 3) {
                const std::size_t at = std::size_t(k) * std::size_t(width) + std::size_t(x);
                if (!region.empty() && !region[at]) {
                    d[0] = d[1] = d[2] = 0;
                    continue;
                }
                const QRgb got = palette[indices[at]];
                d[0] = float(qRed(got) - qRed(row[x]));
                d[1] = float(qGreen(got) - qGreen(row[x]));
                d[2] = float(qBlue(got) - qBlue(row[x]));
            }
            const float* in = &difference[6];
            for (std::size_t i = 0; i < rowSize; ++i)
                out[i] = in[i - 6] + 4 * in[i - 3] + 6 * in[i] + 4 * in[i + 3] + in[i + 6];
        } else {
            std::fill(out, out + rowSize, 0.0f);
        }
        if (k < 2) continue;
        // Row k - 2 blurred down as well.
        const float *r0 = slot(k - 4), *r1 = slot(k - 3), *r2 = slot(k - 2), *r3 = slot(k - 1),
                    *r4 = out;
        float sum = 0;
        for (std::size_t i = 0; i < rowSize; ++i) {
            const float v = r0[i] + 4 * r1[i] + 6 * r2[i] + 4 * r3[i] + r4[i];
            sum += v * v;
        }
        total += sum;
    }
    return total / (256.0 * 256.0);
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

PaletteMatcher::PaletteMatcher(std::vector<QRgb> palette, ColourWeights weights)
    : palette_(std::move(palette)),
      weights_(weights),
      cubeStart_(std::size_t(kCubesPerChannel) * kCubesPerChannel * kCubesPerChannel, -1),
      largeStart_(std::size_t(kLargePerChannel) * kLargePerChannel * kLargePerChannel, -1) {
    for (QRgb c : palette_) {
        reds_.push_back(qRed(c));
        greens_.push_back(qGreen(c));
        blues_.push_back(qBlue(c));
    }
}

int PaletteMatcher::nearest(QRgb colour) const {
    return nearest(qRed(colour), qGreen(colour), qBlue(colour));
}

int PaletteMatcher::nearest(int red, int green, int blue) const {
    if (palette_.empty()) return 0;
    red = std::clamp(red, 0, 255);
    green = std::clamp(green, 0, 255);
    blue = std::clamp(blue, 0, 255);
    const int* list = candidates(red, green, blue);
    int best = std::numeric_limits<int>::max();
    int bestIndex = 0;
    for (int k = 1; k <= list[0]; ++k) {
        const auto i = static_cast<std::size_t>(list[k]);
        const int d = distance(weights_, reds_[i] - red, greens_[i] - green, blues_[i] - blue);
        if (d < best) {
            best = d;
            bestIndex = list[k];
        }
    }
    return bestIndex;
}

const int* PaletteMatcher::candidates(int red, int green, int blue) const {
    const std::size_t cube =
        (std::size_t(red >> kCubeShift) * kCubesPerChannel + std::size_t(green >> kCubeShift)) *
            kCubesPerChannel +
        std::size_t(blue >> kCubeShift);
    if (cubeStart_[cube] < 0) {
        // Worked out from the few entries of the large cube around it, as
        // only those can be nearest anywhere inside the large one.
        const std::size_t large = (std::size_t(red >> kLargeShift) * kLargePerChannel +
                                   std::size_t(green >> kLargeShift)) *
                                      kLargePerChannel +
                                  std::size_t(blue >> kLargeShift);
        if (largeStart_[large] < 0)
            largeStart_[large] = listCube(red, green, blue, kLargeShift, -1);
        cubeStart_[cube] = listCube(red, green, blue, kCubeShift, largeStart_[large]);
    }
    return &cubeLists_[std::size_t(cubeStart_[cube])];
}

// Appends to cubeLists_ the entries that can be nearest somewhere in the cube
// of 2^shift a side around the colour, found among the list at `from` (or
// all entries for -1), and says where: its count, then the entries in index
// order. An entry qualifies if the cube comes as near to it as the cube's
// furthest point is from the entry whose furthest point is nearest.
int PaletteMatcher::listCube(int red, int green, int blue, int shift, int from) const {
    const int last = (1 << shift) - 1;
    const int r0 = red & ~last, g0 = green & ~last, b0 = blue & ~last;
    const int count = from < 0 ? static_cast<int>(palette_.size()) : cubeLists_[std::size_t(from)];
    auto entry = [&](int k) {
        return static_cast<std::size_t>(from < 0 ? k : cubeLists_[std::size_t(from + 1 + k)]);
    };
    auto far = [last](int v, int lo) {
        return std::max(std::abs(v - lo), std::abs(v - lo - last));
    };
    auto near = [last](int v, int lo) { return std::max({lo - v, v - lo - last, 0}); };
    int bound = std::numeric_limits<int>::max();
    for (int k = 0; k < count; ++k) {
        const std::size_t i = entry(k);
        bound = std::min(
            bound, distance(weights_, far(reds_[i], r0), far(greens_[i], g0), far(blues_[i], b0)));
    }
    const auto start = static_cast<int>(cubeLists_.size());
    cubeLists_.push_back(0);
    for (int k = 0; k < count; ++k) {
        const std::size_t i = entry(k);
        if (distance(weights_, near(reds_[i], r0), near(greens_[i], g0), near(blues_[i], b0)) <=
            bound)
            cubeLists_.push_back(static_cast<int>(i));
    }
    cubeLists_[std::size_t(start)] = static_cast<int>(cubeLists_.size()) - start - 1;
    return start;
}

std::vector<std::uint8_t> mapToPalette(const QImage& picture, const PaletteMatcher& matcher,
                                       bool dither, const std::vector<std::uint8_t>& region) {
    return diffuse(picture, matcher, dither, region, nullptr);
}

namespace {

std::vector<QRgb> coloursIn(const QImage& rgb, const std::vector<std::uint8_t>& region) {
    std::vector<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (region.empty() ||
                region[std::size_t(y) * std::size_t(rgb.width()) + std::size_t(x)])
                colours.push_back(row[x]);
    }
    return colours;
}

}  // namespace

Quantized quantize(const QImage& picture, int maxColours, bool dither,
                   const std::vector<std::uint8_t>& region) {
    if (dither) return quantizeDithered(picture, maxColours, region);
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    Quantized result{choosePalette(coloursIn(rgb, region), maxColours), {}};
    if (result.palette.empty())
        result.indices.assign(std::size_t(rgb.width()) * std::size_t(rgb.height()), 0);
    else
        result.indices = mapToPalette(rgb, PaletteMatcher(result.palette), false, region);
    return result;
}

Quantized quantizeDithered(const QImage& picture, int maxColours,
                           const std::vector<std::uint8_t>& region) {
    // Moved part of the way each round: all the way, the entries and the
    // error they leave chase each other from round to round.
    constexpr int kRounds = 4;
    constexpr double kStride = 0.4;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    Quantized best{choosePalette(coloursIn(rgb, region), maxColours), {}};
    if (best.palette.empty()) {
        best.indices.assign(std::size_t(width) * std::size_t(height), 0);
        return best;
    }
    std::vector<QRgb> palette = best.palette;
    std::vector<std::array<double, 3>> centres;
    for (QRgb c : palette)
        centres.push_back({double(qRed(c)), double(qGreen(c)), double(qBlue(c))});
    double bestError = std::numeric_limits<double>::max();
    bool bestFull = false;
    for (int round = 0;; ++round) {
        std::vector<std::array<double, 4>> wanted(palette.size(), {0, 0, 0, 0});
        std::vector<std::uint8_t> indices =
            diffuse(rgb, PaletteMatcher(palette, kEvenWeights), true, region, &wanted);
        // A round that leaves an entry unused wastes a colour: it is taken
        // only if every round does.
        const bool full =
            std::none_of(wanted.begin(), wanted.end(), [](const auto& sum) { return sum[3] == 0; });
        const double error = blurredError(rgb, palette, indices, region);
        if (best.indices.empty() || (full && !bestFull) ||
            (full == bestFull && error < bestError)) {
            bestError = error;
            bestFull = full;
            best = {palette, std::move(indices)};
        }
        if (round == kRounds) break;
        // An entry nobody asked for takes the place the busiest entries'
        // pixels asked for, to share their load.
        std::vector<std::size_t> busiest(palette.size());
        std::iota(busiest.begin(), busiest.end(), std::size_t(0));
        std::sort(busiest.begin(), busiest.end(),
                  [&](std::size_t a, std::size_t b) { return wanted[a][3] > wanted[b][3]; });
        const auto used = static_cast<std::size_t>(std::count_if(
            wanted.begin(), wanted.end(), [](const auto& sum) { return sum[3] > 0; }));
        std::vector<std::array<double, 3>> targets(palette.size());
        std::size_t next = 0;
        for (std::size_t k = 0; k < palette.size(); ++k) {
            const std::size_t from = wanted[k][3] > 0 ? k : busiest[next++ % used];
            for (int c = 0; c < 3; ++c) targets[k][c] = wanted[from][c] / wanted[from][3];
        }
        // An entry that would land on another stays where it is: the two
        // would be one colour, the second never used.
        std::set<QRgb> taken(palette.begin(), palette.end());
        for (std::size_t k = 0; k < palette.size(); ++k) {
            std::array<double, 3> moved = centres[k];
            for (int c = 0; c < 3; ++c) moved[c] += kStride * (targets[k][c] - moved[c]);
            const QRgb colour = rounded(moved);
            if (colour != palette[k] && taken.count(colour)) continue;
            taken.erase(palette[k]);
            taken.insert(colour);
            centres[k] = moved;
            palette[k] = colour;
        }
    }
    return best;
}

}  // namespace zarvo
