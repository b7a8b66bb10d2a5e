#pragma once

// What the program asks of the pictures a user picks, which the pictures
// layer answers with Qt: reading any format Qt reads (WebP, TIFF and SVG among
// them), scaling and drawing. Which picture needs it, where the result goes
// and which value names it is decided here, in the changes layer.

#include <cstdint>
#include <optional>
#include <string>

namespace zarvo {

class IPictures {
public:
    virtual ~IPictures() = default;

    // The picture at `hostPath` as a 24-bit uncompressed Windows bitmap,
    // scaled down to fit `maxWidth` x `maxHeight` when it is larger, its
    // aspect kept; transparent pixels take `background` (0xRRGGBB). nullopt
    // when the file is no picture Qt reads, or too large to decode.
    virtual std::optional<std::string> windowsBitmap(const std::string& hostPath, int maxWidth,
                                                     int maxHeight, std::uint32_t background) = 0;

    // A Windows 98 icon made from the picture at `hostPath` (an icon or any
    // other picture): 16 x 16 and 32 x 32 images, and 48 x 48 when the
    // picture has one that large, each in 4-bit and 8-bit colour with the
    // AND mask taken from its transparency. nullopt when it is no picture.
    virtual std::optional<std::string> windows98Icon(const std::string& hostPath) = 0;

    // A Windows 98 screen file made from the picture at `hostPath`, as
    // --make-screen makes it with its defaults: the whole picture between
    // black bars, dithered, with palette entries `bandStart`-255 rotating
    // at boot (0: a still picture). nullopt when the file is no picture Qt
    // reads; Error 481 for one that is damaged or cut short, 7 for one too
    // large to decode.
    virtual std::optional<std::string> screenFile(const std::string& hostPath, int bandStart) = 0;
};

}  // namespace zarvo
