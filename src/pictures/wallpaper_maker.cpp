#include "pictures/wallpaper_maker.h"

#include <QBuffer>
#include <QPainter>

#include "pictures/picture_reader.h"
#include "pictures/resampler.h"

namespace zarvo {

std::optional<std::string> windowsBitmapOf(const QString& hostPath, QSize most,
                                           const QColor& background) {
    QImage picture;
    try {
        const PictureReader reader(hostPath);
        // A drawing is drawn at its own size, or the largest that fits; a
        // photo is decoded no larger than it will be shown.
        const QSize own = reader.size();
        const bool fits =
            own.isValid() && own.width() <= most.width() && own.height() <= most.height();
        picture = reader.read(reader.isDrawing() && fits ? PictureNeed{}
                                                         : PictureNeed{QSizeF(most), false, 1.0});
    } catch (const PictureError&) {
        return std::nullopt;
    }

    // Windows 98 draws no transparency: what is see-through shows the
    // desktop's colour.
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(background);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, picture);
    }
    picture = QImage();
    if (opaque.width() > most.width() || opaque.height() > most.height()) {
        const QSize fitted =
            opaque.size().scaled(most, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        opaque = resampled(opaque, QRectF(opaque.rect()), fitted);
    }
    // 24 bits a pixel, uncompressed: what every Windows shows.
    const QImage bitmap = opaque.convertToFormat(QImage::Format_RGB888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!bitmap.save(&buffer, "BMP")) return std::nullopt;
    return bytes.toStdString();
}

}  // namespace zarvo
