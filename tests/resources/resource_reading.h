#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

namespace zarvo::testing {

// The bytes of a built-in resource; empty when it is missing.
inline QByteArray resourceBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
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
