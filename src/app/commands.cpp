#include "app/commands.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <functional>
#include <memory>
#include <utility>

#include "app/reports.h"
#include "app/target.h"
#include "changes/kept_originals.h"
#include "changes/leftovers.h"
#include "formats/ico_judge.h"
#include "formats/screen_file.h"
#include "pictures/icon_maker.h"
#include "pictures/screen_maker.h"
#include "system/image/image_error.h"
#include "system/linux/wine_prefix.h"

namespace zarvo {

namespace {

const QString kVersion = QStringLiteral(ZARVO_VERSION);

// What --check says of one file after its name, and whether it is fine: an
// icon or a cursor is judged as one, anything else as a screen file.
std::pair<QString, bool> checkFile(QFile& file) {
    static_assert(ico::kDirectoryStart <= screen::kHeadSize);
    const QByteArray head = file.read(qint64(screen::kHeadSize));
    if (ico::startsAsDirectory(std::string_view(head.constData(), std::size_t(head.size())))) {
        const QByteArray whole = head + file.readAll();
        const auto judgement =
            ico::judge(std::string_view(whole.constData(), std::size_t(whole.size())));
        if (judgement) return {iconCheckText(*judgement), judgement->fine()};
    }
    const screen::Check check =
        screen::check(std::string_view(head.constData(), std::size_t(head.size())),
                      static_cast<std::uint64_t>(file.size()));
    return {screenCheckText(check), check.fine()};
}

int checkFiles(const QStringList& files, QTextStream& out, QTextStream& err) {
    int status = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (QFileInfo(path).isDir()) {
            err << "zarvo: " << path << ": is a folder\n";
            status = 1;
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            err << "zarvo: " << path << ": cannot read: " << file.errorString() << '\n';
            status = 1;
            continue;
        }
        const auto [line, fine] = checkFile(file);
        if (!fine) status = 1;
        out << path << ": " << line << '\n';
    }
    return status;
}

// --make-screen and --make-icon: `make` writes the file or throws PictureError.
int makeFile(const std::function<void()>& make, QTextStream& err) {
    // Reading pictures needs Qt's image plugins, which a QCoreApplication
    // finds; no display is needed for it.
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "zarvo";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    try {
        make();
    } catch (const PictureError& error) {
        err << "zarvo: " << QString::fromStdString(error.what());
        if (error.kind() == PictureError::Kind::OutputExists) err << " (--force replaces it)";
        err << '\n';
        return 1;
    }
    return 0;
}

// Restores the drive the window would open, writing nothing when the drive
// setting is bad. Items come back one by one: a failure is reported and the
// rest go on.
int runRestore(const TargetOptions& targetOptions, QTextStream& out, QTextStream& err) {
    const DriveSetting drive = driveSetting(targetOptions);
    if (drive.problem) {
        err << "zarvo: " << QString::fromStdString(drive.problem->description()) << '\n';
        return 1;
    }
    try {
        const Target target = openTarget(drive);
        if (!drive.readOnly) clearLeftovers(target.plain());
        const RestoreReport report = restoreOriginals(target.plain());
        const RestoreLines lines =
            restoreLines(report, QFile::decodeName(QByteArray::fromStdString(target.name)),
                         target.intoDrive != nullptr);
        for (const QString& line : lines.done) out << line << '\n';
        for (const QString& line : lines.failed) err << "zarvo: " << line << '\n';
        out.flush();
        const bool imported = !target.wine || reportWineImport(target.wine->importChanges(), err);
        return lines.failed.isEmpty() && imported ? 0 : 1;
    } catch (const ImageError& error) {
        err << "zarvo: " << imageRefusalLine(error) << '\n';
    } catch (const DriveInUse& inUse) {
        err << "zarvo: " << inUseLine(inUse) << '\n';
    }
    return 1;
}

}  // namespace

int runCommand(const CommandLine& commandLine, QTextStream& out, QTextStream& err) {
    if (!commandLine.error.isEmpty()) {
        err << "zarvo: " << commandLine.error << "; see zarvo --help\n";
        return 2;
    }
    switch (commandLine.command) {
        case Command::Help:
            out << commandLine.helpText;
            return 0;
        case Command::Version:
            out << "zarvo " << kVersion << '\n';
            return 0;
        case Command::Check:
            return checkFiles(commandLine.files, out, err);
        case Command::MakeScreen:
            return makeFile(
                [&] {
                    makeScreenFile(commandLine.files.at(0), commandLine.files.at(1),
                                   commandLine.screen);
                },
                err);
        case Command::MakeIcon:
            return makeFile(
                [&] {
                    makeIconFile(commandLine.files.at(0), commandLine.files.at(1),
                                 commandLine.icon);
                },
                err);
        case Command::Restore:
            return runRestore(commandLine.target, out, err);
        case Command::Window:
            break;
    }
    return 2;
}

}  // namespace zarvo
