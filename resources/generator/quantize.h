#pragma once

#include <QRgb>
#include <unordered_map>
#include <vector>

namespace zarvo::resgen {

// Median-cut palette of at most `maxColours` colours for the opaque colours
// given (alpha is ignored). Fewer distinct colours come back unchanged.
std::vector<QRgb> medianCutPalette(const std::vector<QRgb>& colours, int maxColours);

// Nearest palette entry by weighted RGB distance, cached because pictures
// repeat colours heavily.
class PaletteMatcher {
public:
    explicit PaletteMatcher(std::vector<QRgb> palette);
    int nearest(QRgb colour);
    const std::vector<QRgb>& palette() const { return palette_; }

private:
    std::vector<QRgb> palette_;
    std::unordered_map<QRgb, int> cache_;
};

}  // namespace zarvo::resgen
