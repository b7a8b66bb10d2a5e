#pragma once

// Whether Windows 98 can show an icon or a cursor as it is, and shows it
// well. It reads only uncompressed images (PNG-compressed ones came with
// Windows Vista) and shows none larger than 48 x 48.
//
// It draws every image as Windows always has: the AND mask is ANDed onto
// the screen, then the colour bits are XORed over it. A pixel the mask
// leaves unmarked shows its own colour at full strength; one it marks
// shows what lies behind, changed by the pixel's colour unless that is
// black. A 32-bit image it reads as 0RGB: the top byte of each pixel, where
// Windows XP keeps an alpha channel, carries nothing, so the mask alone
// decides what is transparent and a soft edge is drawn hard. (Windows XP
// blends by the alpha channel, unless it is all zeros, and then the mask
// alone counts, as it does for Windows 98.)
//
// Sources: John Hornick, "Icons in Win32" (Microsoft, 1995), for the icon
// image's masks and how Windows draws them; Microsoft Knowledge Base
// article Q94326, "16 and 32 Bits-Per-Pel Bitmap Formats", for the Windows
// 95 DIB engine's 32-bit bitmaps being RGB888 alone; Raymond Chen, "The
// evolution of the ICO file format", parts 2 and 3 (The Old New Thing,
// 2010), for 0RGB 32-bit images in icons before Windows XP, the mask drawn
// as (screen AND mask) XOR image, and XP's reading of the alpha channel.
//
// A file is fine when one image it reads is small enough and, if it has an
// alpha channel, its mask agrees with it as well as one bit can: every
// pixel at most half opaque marked, and black under the mask.

#include <optional>
#include <string_view>
#include <vector>

#include "formats/ico_header.h"

namespace zarvo::ico {

// The largest image Windows 98 shows, on either side.
constexpr int kLargestShown = 48;

// The alpha from which a pixel is more opaque than not: one bit of mask
// shows such a pixel and hides any fainter one.
constexpr int kHalfOpaque = 128;

// One reason Windows 98 cannot show a file, or shows it badly, with its
// numbers.
struct Problem {
    // Callers may keep these numbers: new kinds go last.
    enum class Kind {
        // An image it cannot read: PNG-compressed.
        PngImage = 0,
        // An image it cannot read: cut short, or of a header, depth or
        // compression it does not know.
        DamagedImage = 1,
        // A 32-bit image with pixels the alpha channel makes transparent,
        // none of which the AND mask marks.
        AlphaOverEmptyMask = 2,
        // No image, of whatever kind, is kLargestShown or smaller.
        NoSmallImage = 3,
        // A 32-bit image whose mask marks some of the pixels the alpha
        // channel makes transparent, not all.
        TransparentOutsideMask = 4,
        // A 32-bit image whose mask leaves pixels less than half opaque
        // unmarked: its soft edges drawn at full strength.
        SoftEdgesOutsideMask = 5,
        // A 32-bit image with an alpha channel whose mask marks pixels that
        // are not black: their colours are XORed into what lies behind.
        ColourUnderMask = 6,
    };
    Kind kind = Kind::NoSmallImage;
    // The image's, as its own header gives them; 0 for NoSmallImage.
    int width = 0;
    int height = 0;
    int bitCount = 0;
    // How many pixels the mask's reasons concern; 0 for the others.
    int pixels = 0;

    bool operator==(const Problem&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;

    bool operator==(const Size&) const = default;
};

struct Judgement {
    Type type = Type::Icon;
    // Every reason, images in file order and the file's own last; empty
    // when Windows 98 shows the file well.
    std::vector<Problem> problems;
    // The sizes of the images it shows, smallest first, each once.
    std::vector<Size> shown;
    // Whether an image it shows has partly transparent pixels outside the
    // mask, more opaque than not, which it draws at full strength: the
    // hard edges any one-bit mask gives.
    bool hardEdges = false;

    bool fine() const { return problems.empty(); }
    // Whether it shows the file all the same, badly: an image small enough
    // whose mask disagrees with its alpha channel.
    bool shownBadly() const;
};

// nullopt when the bytes (a whole file) are no icon or cursor.
std::optional<Judgement> judge(std::string_view bytes);

}  // namespace zarvo::ico
