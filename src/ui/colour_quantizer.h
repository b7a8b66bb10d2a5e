#pragma once

// Fitting a picture into a palette of at most 256 colours: the palette is
// chosen by median cut and refined by k-means, and pixels are matched to it
// by weighted RGB distance, optionally with Floyd-Steinberg error diffusion.

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <vector>

namespace zarvo {

// At most `maxColours` opaque colours standing for `colours` (alpha is
// ignored). A picture with no more distinct colours gets exactly its own.
std::vector<QRgb> choosePalette(const std::vector<QRgb>& colours, int maxColours);

// The nearest palette entry to a colour, by a distance that weighs green
// most and blue least, as the eye does.
class PaletteMatcher {
public:
    explicit PaletteMatcher(std::vector<QRgb> palette);
    int nearest(QRgb colour) const;
    int nearest(int red, int green, int blue) const;
    const std::vector<QRgb>& palette() const { return palette_; }

private:
    struct Candidate {
        int red, green, blue, index;
    };
    std::vector<QRgb> palette_;
    std::vector<Candidate> byGreen_;  // searched outward from the colour's green
};

// Palette indices for the pixels of `picture`, top row first. Where `region`
// (one byte per pixel, or empty for all) is 0 the pixel is left 0 for the
// caller to set, and error diffusion neither takes error from it nor gives
// error to it, so that a flat border stays flat next to a dithered photo.
std::vector<std::uint8_t> mapToPalette(const QImage& picture, const PaletteMatcher& matcher,
                                       bool dither, const std::vector<std::uint8_t>& region = {});

}  // namespace zarvo
