#include "app/first_start.h"

#include <QFile>

#include "changes/drive_c.h"
#include "changes/program_folder.h"
#include "changes/shell_icons.h"
#include "resource_names/drive_files.h"
#include "system/system.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

const QString kDriveResources = QStringLiteral(":/drive");
const QString kRoot = QString::fromUtf8(kDriveRoot.data(), qsizetype(kDriveRoot.size()));
// The program folder's path below C:\, as the resources lay it out.
const QString kProgramFolder =
    QString::fromUtf8(programfolder::kFolder.data(), qsizetype(programfolder::kFolder.size()))
        .mid(kRoot.size())
        .toLower() +
    QLatin1Char('\\');

// Files a Windows 98 installation marks; everything else is a plain file.
unsigned attributesFor(std::string_view windowsPath) {
    if (winpath::sameName(windowsPath, kMsdosSys))
        return attr::Hidden | attr::System | attr::ReadOnly;
    if (winpath::sameName(windowsPath, iconCache())) return attr::Hidden | attr::System;
    return attr::Normal;
}

}  // namespace

void installDrive(ISystem& system, Install what) {
    system.createDirectory(std::string(kDriveRoot));
    for (std::string_view name : kDriveFiles) {
        const QString resourceName = QString::fromUtf8(name.data(), qsizetype(name.size()));
        const QString relative = QString(resourceName).replace('/', '\\');
        if (what == Install::ProgramFolder && !relative.toLower().startsWith(kProgramFolder))
            continue;
        const QString windowsPath = kRoot + relative;
        const std::string path = windowsPath.toStdString();
        if (system.fileExists(path)) continue;
        const int slash = windowsPath.lastIndexOf('\\');
        system.createDirectory(windowsPath.left(slash + 1).toStdString());
        QFile file(kDriveResources + QLatin1Char('/') + resourceName);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        system.writeNewFile(path, std::string_view(bytes.constData(), size_t(bytes.size())));
        if (unsigned bits = attributesFor(path)) system.setAttributes(path, bits);
    }
}

}  // namespace zarvo
