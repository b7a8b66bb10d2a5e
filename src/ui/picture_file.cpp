#include "ui/picture_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zarvo {

ScreenError::ScreenError(Kind kind, const QString& path, const QString& reason)
    : std::runtime_error((path + QStringLiteral(": ") + reason).toStdString()), kind_(kind) {}

void openPicture(QFile& file) {
    using Kind = ScreenError::Kind;
    const QString path = file.fileName();
    const QFileInfo info(path);
    if (!info.exists()) throw ScreenError(Kind::Input, path, QStringLiteral("no such file"));
    if (info.isDir())
        throw ScreenError(Kind::Input, path, QStringLiteral("is a folder, not a picture"));
    if (!file.open(QIODevice::ReadOnly))
        throw ScreenError(Kind::Input, path, QStringLiteral("cannot open: ") + file.errorString());
}

void startReading(QImageReader& reader, const QString& path) {
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        throw ScreenError(ScreenError::Kind::Input, path,
                          QStringLiteral("not a picture Qt can read"));
}

void refuseTooLarge(const QImageReader& reader, const QString& path) {
    // Qt refuses such a picture with words that sound like damage; the
    // user should hear it is only its size.
    const QSize size = reader.scaledSize().isValid() ? reader.scaledSize() : reader.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (size.isValid() && limit > 0 && qint64(size.width()) * size.height() * 4 > limit)
        throw ScreenError(
            ScreenError::Kind::Input, path,
            QStringLiteral("the picture is %1 × %2 pixels, too large to read within %3 MB")
                .arg(size.width())
                .arg(size.height())
                .arg(QImageReader::allocationLimit()));
}

void saveMadeFile(const QString& output, bool replace, const std::function<std::string()>& make) {
    using Kind = ScreenError::Kind;
    const QFileInfo target(output);
    if (target.isDir()) throw ScreenError(Kind::Output, output, QStringLiteral("is a folder"));
    if (target.exists() && !replace)
        throw ScreenError(Kind::OutputExists, output, QStringLiteral("already exists"));
    if (!target.absoluteDir().exists())
        throw ScreenError(Kind::Output, output,
                          QStringLiteral("folder %1 does not exist").arg(target.absolutePath()));

    const std::string bytes = make();

    // Written beside the target and renamed over it, so that the name holds
    // either nothing, the old file or the whole new one.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw ScreenError(Kind::Output, output,
                          QStringLiteral("cannot write: ") + file.errorString());
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ScreenError(Kind::Output, output, QStringLiteral("cannot write: ") + reason);
    }
    // Another program may have made the file while the picture was converted.
    if (!replace && QFileInfo::exists(output)) {
        file.cancelWriting();
        throw ScreenError(Kind::OutputExists, output, QStringLiteral("already exists"));
    }
    if (!file.commit())
        throw ScreenError(Kind::Output, output,
                          QStringLiteral("cannot write: ") + file.errorString());
}

}  // namespace zarvo
