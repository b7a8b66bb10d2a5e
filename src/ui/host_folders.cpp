#include "ui/host_folders.h"

#include <QDir>
#include <QFileInfo>

namespace zarvo {

namespace {

// The path with its links resolved as far as it exists: /tmp may itself be
// a link, and a folder the image removed no longer resolves.
QString resolved(const QString& hostPath) {
    const QString absolute = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    QString existing = absolute;
    QString rest;
    while (!QFileInfo::exists(existing)) {
        const qsizetype cut = existing.lastIndexOf(QLatin1Char('/'));
        if (cut <= 0) return absolute;
        rest = existing.mid(cut) + rest;
        existing.truncate(cut);
    }
    return QFileInfo(existing).canonicalFilePath() + rest;
}

}  // namespace

bool isTemporaryHostPath(const QString& hostPath) {
    if (hostPath.isEmpty()) return false;
    const QString temporary = resolved(QDir::tempPath());
    // A temporary folder of "/" would make every path temporary.
    if (temporary.isEmpty() || temporary == QLatin1String("/")) return false;
    const QString path = resolved(hostPath);
    return path == temporary || path.startsWith(temporary + QLatin1Char('/'));
}

}  // namespace zarvo
