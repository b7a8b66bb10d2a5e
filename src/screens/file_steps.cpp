#include "screens/file_steps.h"

#include <QFileInfo>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/page.h"
#include "platform/error.h"
#include "platform/system.h"

namespace zarvo {

namespace {

// FILE_ATTRIBUTE_DIRECTORY, as attributes() reports a folder.
constexpr unsigned kDirectoryAttribute = 0x10;

// The folder part of a Windows path, "C:\" for a file in a drive's root.
QString folderOf(const QString& windowsPath) {
    const qsizetype slash = windowsPath.lastIndexOf(QLatin1Char('\\'));
    if (slash < 0) return QString();
    QString folder = windowsPath.left(slash);
    if (folder.endsWith(QLatin1Char(':'))) folder += QLatin1Char('\\');
    return folder;
}

bool folderExists(ISystem& system, const QString& windowsPath) {
    const QString folder = folderOf(windowsPath);
    return !folder.isEmpty() && system.fileExists(toStd(folder));
}

QString hostFile(ISystem& system, const QString& windowsPath) {
    return QString::fromStdString(system.hostPath(toStd(windowsPath)));
}

}  // namespace

QString trimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text.at(first) == QLatin1Char(' ')) ++first;
    while (end > first && text.at(end - 1) == QLatin1Char(' ')) --end;
    return text.mid(first, end - first);
}

void requireCopyable(ISystem& system, const QString& source, const QString& destination,
                     const QString& deletedFirst) {
    if (source.isEmpty()) throw Error(err::FileNotFound);
    if (!system.fileExists(toStd(source))) {
        throw Error(folderExists(system, source) ? err::FileNotFound : err::PathNotFound);
    }
    // Only a regular file that can be opened for reading copies; a folder or
    // a device does not.
    const QString sourceHost = hostFile(system, source);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(sourceHost.toStdString()), ec) ||
        !QFileInfo(sourceHost).isReadable()) {
        throw Error(err::PathFileAccessError);
    }
    if (!deletedFirst.isEmpty() && system.fileExists(toStd(deletedFirst))) {
        const QString doomed = QFileInfo(hostFile(system, deletedFirst)).canonicalFilePath();
        if (!doomed.isEmpty() && doomed == QFileInfo(sourceHost).canonicalFilePath())
            throw Error(err::FileNotFound);
    }

    if (destination.isEmpty()) throw Error(err::PathFileAccessError);
    if (!folderExists(system, destination)) throw Error(err::PathNotFound);
    if (system.fileExists(toStd(destination))) {
        const unsigned attributes = system.attributes(toStd(destination));
        if (attributes & (kDirectoryAttribute | attr::ReadOnly))
            throw Error(err::PathFileAccessError);
    }
}

}  // namespace zarvo
