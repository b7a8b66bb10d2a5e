#pragma once

// What the commands that make a file from a picture share: opening the
// picture, refusing one too large to decode, saving the made file whole or
// not at all, and the one-line error that names the file.

#include <QFile>
#include <QImageReader>
#include <QString>
#include <functional>
#include <stdexcept>
#include <string>

namespace zarvo {

// One line saying which file failed and why.
class ScreenError : public std::runtime_error {
public:
    enum class Kind { Input, Output, OutputExists };
    ScreenError(Kind kind, const QString& path, const QString& reason);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Opens the picture `file` names for reading. Throws ScreenError saying
// why it cannot be read: missing, a folder, or not open to this user.
void openPicture(QFile& file);

// Sets `reader` to tell the format from the content, whatever the name
// (boot screens end in .sys), and to turn a photo as its orientation tag
// says, which is how its owner sees it. Throws ScreenError when no image
// plugin reads it.
void startReading(QImageReader& reader, const QString& path);

// Throws ScreenError for a picture `reader` would refuse as larger than
// Qt's allocation limit, saying so, before it is read.
void refuseTooLarge(const QImageReader& reader, const QString& path);

// Saves the bytes `make` returns as `output`, whole or not at all, for the
// commands that make a file from a picture. `output` is checked before the
// work starts and again before the rename. Throws ScreenError.
void saveMadeFile(const QString& output, bool replace, const std::function<std::string()>& make);

}  // namespace zarvo
