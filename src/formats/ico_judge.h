#pragma once

// Whether Windows 98 can show an icon or a cursor as it is. It reads only
// uncompressed images (PNG-compressed ones came with Windows Vista), shows
// none larger than 48 x 48, and knows nothing of an alpha channel (Windows
// XP's): where the AND mask leaves a pixel unmarked it draws the pixel's
// colour, so transparency kept in the alpha channel alone shows as black.
// A file is fine when one image it reads is small enough and carries its
// transparency in the mask.

#include <optional>
#include <string_view>
#include <vector>

#include "formats/ico_header.h"

namespace zarvo::ico {

// The largest image Windows 98 shows, on either side.
constexpr int kLargestShown = 48;

// One reason Windows 98 cannot show a file, with its numbers.
struct Problem {
    enum class Kind {
        // An image it cannot read: PNG-compressed.
        PngImage,
        // An image it cannot read: cut short, or of a header, depth or
        // compression it does not know.
        DamagedImage,
        // A 32-bit image with pixels the alpha channel makes transparent and
        // the AND mask leaves unmarked.
        AlphaOverEmptyMask,
        // No image, of whatever kind, is kLargestShown or smaller.
        NoSmallImage,
    };
    Kind kind = Kind::NoSmallImage;
    // The image's, as its own header gives them; 0 for NoSmallImage.
    int width = 0;
    int height = 0;
    int bitCount = 0;

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
    // when Windows 98 shows the file.
    std::vector<Problem> problems;
    // The sizes of the images it shows, smallest first, each once.
    std::vector<Size> shown;

    bool fine() const { return problems.empty(); }
};

// nullopt when the bytes (a whole file) are no icon or cursor.
std::optional<Judgement> judge(std::string_view bytes);

}  // namespace zarvo::ico
