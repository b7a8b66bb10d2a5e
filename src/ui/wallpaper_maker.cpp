#include "ui/wallpaper_maker.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include "ui/resampler.h"

namespace zarvo {

std::optional<std::string> windowsBitmapOf(const QString& hostPath, QSize most,
                                           const QColor& background) {
    QImageReader reader(hostPath);
    // The content says what it is, whatever the name; a photo's orientation
    // tag is how its owner sees it.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead()) return std::nullopt;
    const QSize stored = reader.size();
    const bool vector = reader.format().startsWith("svg");
    // A drawing is drawn at the size it is shown: its own, or the largest
    // that fits.
    if (vector && stored.isValid() &&
        (stored.width() > most.width() || stored.height() > most.height()))
        reader.setScaledSize(stored.scaled(most, Qt::KeepAspectRatio));
    const QImage picture = reader.read();  // too large for the memory cap: null
    if (picture.isNull()) return std::nullopt;

    // Windows 98 draws no transparency: what is see-through shows the
    // desktop's colour.
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(background);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, picture);
    }
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
