#pragma once

// The one way a picture the user picks is read, whatever is made of it: a
// preview, a screen file, an icon or a wallpaper. The format is told by
// the content, whatever the name (boot screens end in .sys); a drawing is
// drawn at the size it is needed; a large photo is decoded no larger than
// what is made of it needs, so that what phones and cameras take today
// (100 megapixels and more) is read within a few hundred megabytes; a file
// cut short is refused instead of shown with a grey or black part.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include "pictures/picture_file.h"

namespace zarvo {

// How large a picture is needed: at least `detail` decoded pixels for each
// pixel shown when the picture fits into `box` (or, with `cover`, fills it
// and is cropped). An empty box asks for the picture's own size. A drawing
// is drawn at exactly that size, larger than its own too; a photo is never
// decoded larger than it is.
struct PictureNeed {
    QSizeF box;
    bool cover = false;
    double detail = 1.0;
};

class PictureReader {
public:
    // How a photo's orientation tag is taken: as its owner sees it, or
    // ignored, the pixels as stored (as Windows 98 shows a JPEG).
    enum class Orientation { AsTagged, AsStored };

    // Reads the file whole. Throws PictureError (Input): missing, a folder,
    // not open to this user. `path` may be a Qt resource path.
    explicit PictureReader(const QString& path, Orientation orientation = Orientation::AsTagged);
    ~PictureReader();
    PictureReader(const PictureReader&) = delete;
    PictureReader& operator=(const PictureReader&) = delete;

    const QString& path() const { return path_; }
    // The file's bytes.
    const QByteArray& data() const { return data_; }
    // Qt's name of the format ("jpeg", "png", "svg"...); empty when no image
    // plugin reads the file.
    const QByteArray& format() const { return format_; }
    bool isPicture() const { return !format_.isEmpty(); }
    bool isDrawing() const;
    // A Windows bitmap: the file starts with "BM".
    bool isWindowsBitmap() const;
    // The number of images: an icon's sizes, an animation's frames.
    int imageCount() const;
    // Image `index`'s size as shown (turned when the orientation tag says so).
    QSize size(int index = 0) const;

    // Image `index`, decoded for `need`. Throws PictureError: Input when it
    // is no picture, is cut short or damaged; TooLarge with its size when it
    // cannot be decoded within the memory a picture may take.
    QImage read(const PictureNeed& need = {}, int index = 0) const;

private:
    QString path_;
    QByteArray data_;
    QByteArray format_;
    Orientation orientation_;
};

// The most memory, in megabytes, one decoded picture may take: by default
// enough for a 100 megapixel photo at 16 bits a channel, where it cannot be
// decoded smaller. Tests lower it to refuse a small picture.
int pictureMemoryLimitMb();
void setPictureMemoryLimitMb(int megabytes);

}  // namespace zarvo
