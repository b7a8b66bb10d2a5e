#pragma once

// What the commands that make a file from a picture share with the picture
// reader: the one-line error that names the file, and saving the made file
// whole or not at all.

#include <QSize>
#include <QString>
#include <functional>
#include <stdexcept>
#include <string>

namespace zarvo {

// One line saying which file failed and why: the picture read, or the file
// made of it.
class PictureError : public std::runtime_error {
public:
    enum class Kind {
        // The picture cannot be read: missing, cut short, damaged...
        Input,
        // The file is no picture Qt reads.
        NotPicture,
        // The picture is fine but too large to decode; size() says how large.
        TooLarge,
        // The file to be made cannot be written.
        Output,
        OutputExists,
    };
    PictureError(Kind kind, const QString& path, const QString& reason, QSize size = QSize());
    Kind kind() const { return kind_; }
    QSize size() const { return size_; }

private:
    Kind kind_;
    QSize size_;
};

// Saves the bytes `make` returns as `output`, whole or not at all, for the
// commands that make a file from a picture. `output` is checked before the
// work starts and again before the rename. Throws PictureError.
void saveMadeFile(const QString& output, bool replace, const std::function<std::string()>& make);

}  // namespace zarvo
