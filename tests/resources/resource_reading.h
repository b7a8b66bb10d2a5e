#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <QtEndian>
#include <vector>

namespace zarvo::testing {

// The bytes of a built-in resource; empty when it is missing.
inline QByteArray resourceBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Every image of a multi-image file (icon, cursor, animated GIF), in order.
inline std::vector<QImage> readAllImages(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    std::vector<QImage> images;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        images.push_back(reader.read());
    }
    return images;
}

inline quint32 le32(const QByteArray& bytes, qsizetype offset) {
    if (offset + 4 > bytes.size()) return 0xffffffffu;
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

inline quint16 le16(const QByteArray& bytes, qsizetype offset) {
    if (offset + 2 > bytes.size()) return 0xffff;
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

}  // namespace zarvo::testing
