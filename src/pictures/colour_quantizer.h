#pragma once

// Fitting a picture into a palette of at most 256 colours: the palette is
// chosen by median cut and refined by k-means, and pixels are matched to it
// by weighted RGB distance, optionally with Floyd-Steinberg error diffusion.
// A palette for a dithered picture is then moved to where the diffusion
// actually needs its colours.

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <vector>

namespace zarvo {

// How much a difference in red, in green and in blue counts.
struct ColourWeights {
    int red, green, blue;
};
// Green most and blue least, as the eye tells colours apart side by side:
// for flat colours such as an icon's.
inline constexpr ColourWeights kEyeWeights{3, 4, 2};
// All alike: a dithered photo, where the eye sees the mix of neighbouring
// dots, comes closest to the picture this way.
inline constexpr ColourWeights kEvenWeights{1, 1, 1};

// At most `maxColours` opaque colours standing for `colours` (alpha is
// ignored). A picture with no more distinct colours gets exactly its own.
std::vector<QRgb> choosePalette(const std::vector<QRgb>& colours, int maxColours);

// The nearest palette entry to a colour; ties go to the lower index. Not
// for use from two threads at once: it learns as it goes.
class PaletteMatcher {
public:
    explicit PaletteMatcher(std::vector<QRgb> palette, ColourWeights weights = kEyeWeights);
    int nearest(QRgb colour) const;
    int nearest(int red, int green, int blue) const;
    const std::vector<QRgb>& palette() const { return palette_; }

private:
    const int* candidates(int red, int green, int blue) const;
    int listCube(int red, int green, int blue, int shift, int from) const;

    std::vector<QRgb> palette_;
    ColourWeights weights_;
    std::vector<int> reds_, greens_, blues_;
    // For each cube of 8 x 8 x 8 colours, and of 32 x 32 x 32, where in
    // cubeLists_ the entries that can be nearest to a colour inside it are
    // listed, or -1 until a colour first falls there: a picture touches few
    // of the cubes.
    mutable std::vector<int> cubeStart_;
    mutable std::vector<int> largeStart_;
    mutable std::vector<int> cubeLists_;
};

// A picture in at most `maxColours` colours chosen for it, dithered by
// error diffusion as mapToPalette does with a matcher of kEvenWeights, and
// only the pixels where `region` (as for mapToPalette) is not 0.
struct Quantized {
    std::vector<QRgb> palette;
    std::vector<std::uint8_t> indices;
};
// The palette starts as choosePalette's. Diffusion asks each entry for
// colours spread wider than the picture's own, the error added in, so over a
// few rounds each entry is moved towards the mean of what it was asked for.
// Of the rounds, the one whose dithered picture, slightly blurred as the eye
// sees it, is closest to the picture is kept, one that uses every entry
// before one that does not.
Quantized quantizeDithered(const QImage& picture, int maxColours,
                           const std::vector<std::uint8_t>& region = {});

// At most `maxColours` colours for the pixels of `region` (as for
// mapToPalette): quantizeDithered's, or without dithering the nearest entry
// of choosePalette's for each pixel.
Quantized quantize(const QImage& picture, int maxColours, bool dither,
                   const std::vector<std::uint8_t>& region = {});

// Palette indices for the pixels of `picture`, top row first. Where `region`
// (one byte per pixel, or empty for all) is 0 the pixel is left 0 for the
// caller to set, and error diffusion neither takes error from it nor gives
// error to it, so that a flat border stays flat next to a dithered photo.
std::vector<std::uint8_t> mapToPalette(const QImage& picture, const PaletteMatcher& matcher,
                                       bool dither, const std::vector<std::uint8_t>& region = {});

}  // namespace zarvo
