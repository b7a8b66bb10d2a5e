#include "app/first_start.h"

#include <QDirIterator>
#include <QFile>

#include "system/system.h"

namespace zarvo {

namespace {

const QString kDriveResources = QStringLiteral(":/drive");
const QString kProgramFolder = QStringLiteral("program files\\zarvo\\");

// Files a Windows 98 installation marks; everything else is a plain file.
unsigned attributesFor(const QString& windowsPath) {
    const QString path = windowsPath.toLower();
    if (path == QStringLiteral("c:\\msdos.sys"))
        return attr::Hidden | attr::System | attr::ReadOnly;
    if (path == QStringLiteral("c:\\windows\\shelliconcache")) return attr::Hidden | attr::System;
    return attr::Normal;
}

}  // namespace

void installDrive(ISystem& system, Install what) {
    system.createDirectory("C:\\");
    QDirIterator it(kDriveResources, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString resource = it.next();
        QString relative = resource.mid(kDriveResources.size() + 1);
        relative.replace('/', '\\');
        if (what == Install::ProgramFolder && !relative.toLower().startsWith(kProgramFolder))
            continue;
        const QString windowsPath = QStringLiteral("C:\\") + relative;
        const std::string path = windowsPath.toStdString();
        if (system.fileExists(path)) continue;
        const int slash = windowsPath.lastIndexOf('\\');
        system.createDirectory(windowsPath.left(slash + 1).toStdString());
        QFile file(resource);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        system.writeNewFile(path, std::string_view(bytes.constData(), size_t(bytes.size())));
        if (unsigned bits = attributesFor(windowsPath)) system.setAttributes(path, bits);
    }
}

}  // namespace zarvo
