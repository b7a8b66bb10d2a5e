#pragma once

// Windows 98 icons made from any picture Qt reads: each size drawn from the
// icon's best image for it, any other picture scaled into the square, an
// SVG drawn at each size.

#include <QString>
#include <optional>
#include <string>

namespace zarvo {

struct IconOptions {
    // Replace an output file that is already there.
    bool replace = false;
};

// The icon file's bytes (see IPictures::windows98Icon); nullopt when the
// file is no picture.
std::optional<std::string> windows98IconOf(const QString& hostPath);

// Reads `input`, makes its Windows 98 icon and saves it as `output` whole or
// not at all. Throws PictureError (picture_file.h): --make-icon fails with
// the same lines as --make-screen.
void makeIconFile(const QString& input, const QString& output, const IconOptions& options);

}  // namespace zarvo
