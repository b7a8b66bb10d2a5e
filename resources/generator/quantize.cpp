#include "quantize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace zarvo::resgen {
namespace {

struct Entry {
    std::array<int, 3> rgb;
    long count;
};

struct Box {
    std::vector<Entry> entries;
    long pixels = 0;
    int axis = 0;
    int range = 0;

    void measure() {
        pixels = 0;
        std::array<int, 3> lo{255, 255, 255};
        std::array<int, 3> hi{0, 0, 0};
        for (const Entry& e : entries) {
            pixels += e.count;
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], e.rgb[c]);
                hi[c] = std::max(hi[c], e.rgb[c]);
            }
        }
        range = -1;
        for (int c = 0; c < 3; ++c) {
            if (hi[c] - lo[c] > range) {
                range = hi[c] - lo[c];
                axis = c;
            }
        }
    }

    // Large boxes with many pixels are split first: a sky gradient keeps
    // enough steps while a lone highlight still gets its own entry.
    double priority() const {
        return entries.size() < 2 ? -1.0 : range * std::sqrt(static_cast<double>(pixels));
    }

    QRgb mean() const {
        double sum[3] = {0, 0, 0};
        for (const Entry& e : entries)
            for (int c = 0; c < 3; ++c) sum[c] += static_cast<double>(e.rgb[c]) * e.count;
        auto channel = [&](int c) { return static_cast<int>(std::lround(sum[c] / pixels)); };
        return qRgb(channel(0), channel(1), channel(2));
    }
};

}  // namespace

std::vector<QRgb> medianCutPalette(const std::vector<QRgb>& colours, int maxColours) {
    std::map<QRgb, long> histogram;
    for (QRgb colour : colours) ++histogram[colour | 0xff000000u];
    if (static_cast<int>(histogram.size()) <= maxColours) {
        std::vector<QRgb> exact;
        for (const auto& [colour, count] : histogram) exact.push_back(colour);
        return exact;
    }

    std::vector<Box> boxes(1);
    for (const auto& [colour, count] : histogram)
        boxes[0].entries.push_back({{qRed(colour), qGreen(colour), qBlue(colour)}, count});
    boxes[0].measure();
    while (static_cast<int>(boxes.size()) < maxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return a.priority() < b.priority();
        });
        if (widest->priority() < 0) break;
        Box& box = *widest;
        const int axis = box.axis;
        std::sort(box.entries.begin(), box.entries.end(),
                  [axis](const Entry& a, const Entry& b) { return a.rgb[axis] < b.rgb[axis]; });
        long half = 0;
        size_t cut = 1;
        for (; cut < box.entries.size() - 1; ++cut) {
            half += box.entries[cut - 1].count;
            if (half * 2 >= box.pixels) break;
        }
        Box upper;
        upper.entries.assign(box.entries.begin() + static_cast<long>(cut), box.entries.end());
        box.entries.resize(cut);
        box.measure();
        upper.measure();
        boxes.push_back(std::move(upper));
    }

    std::vector<QRgb> palette;
    for (const Box& box : boxes) palette.push_back(box.mean());
    return palette;
}

PaletteMatcher::PaletteMatcher(std::vector<QRgb> palette) : palette_(std::move(palette)) {}

int PaletteMatcher::nearest(QRgb colour) {
    colour |= 0xff000000u;
    if (auto hit = cache_.find(colour); hit != cache_.end()) return hit->second;
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette_.size(); ++i) {
        const long dr = qRed(colour) - qRed(palette_[i]);
        const long dg = qGreen(colour) - qGreen(palette_[i]);
        const long db = qBlue(colour) - qBlue(palette_[i]);
        // The eye is most sensitive to green and least to blue.
        const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    cache_.emplace(colour, best);
    return best;
}

}  // namespace zarvo::resgen
