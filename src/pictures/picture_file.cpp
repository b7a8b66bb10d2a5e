#include "pictures/picture_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace zarvo {

PictureError::PictureError(Kind kind, const QString& path, const QString& reason, QSize size)
    : std::runtime_error((path + QStringLiteral(": ") + reason).toStdString()),
      kind_(kind),
      size_(size) {}

void saveMadeFile(const QString& output, bool replace, const std::function<std::string()>& make) {
    using Kind = PictureError::Kind;
    const QFileInfo target(output);
    if (target.isDir()) throw PictureError(Kind::Output, output, QStringLiteral("is a folder"));
    if (target.exists() && !replace)
        throw PictureError(Kind::OutputExists, output, QStringLiteral("already exists"));
    if (!target.absoluteDir().exists())
        throw PictureError(Kind::Output, output,
                           QStringLiteral("folder %1 does not exist").arg(target.absolutePath()));

    const std::string bytes = make();

    // Written beside the target and renamed over it, so that the name holds
    // either nothing, the old file or the whole new one.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw PictureError(Kind::Output, output,
                           QStringLiteral("cannot write: ") + file.errorString());
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw PictureError(Kind::Output, output, QStringLiteral("cannot write: ") + reason);
    }
    // Another program may have made the file while the picture was converted.
    if (!replace && QFileInfo::exists(output)) {
        file.cancelWriting();
        throw PictureError(Kind::OutputExists, output, QStringLiteral("already exists"));
    }
    if (!file.commit())
        throw PictureError(Kind::Output, output,
                           QStringLiteral("cannot write: ") + file.errorString());
}

}  // namespace zarvo
