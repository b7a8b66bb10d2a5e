#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <memory>

#include "app/startup.h"
#include "formats/screen_file.h"
#include "system/keeping_originals.h"
#include "system/linux/linux_system.h"

namespace zarvo {
namespace {

const QString kVersion = QStringLiteral(ZARVO_VERSION);

const QString kDescription = QStringLiteral(
    "Changes how a Windows 98 system looks. Without options it opens its window.\n"
    "\n"
    "  zarvo --make-screen [--fill] [--no-dither] [--band FIRST] [--force] INPUT OUTPUT\n"
    "      Makes a Windows 98 screen file (Logo.sys, Logow.sys, Logos.sys) from a\n"
    "      picture: 320 x 400, 256 colours, framed for the 4:3 screen.\n"
    "  zarvo --check FILE...\n"
    "      Says whether Windows 98 shows each file as a screen file, and why not.\n"
    "  zarvo --restore\n"
    "      Puts back on drive C: every original Zarvo replaced there: the screen\n"
    "      files, the icon values, the wallpaper. They are kept in\n"
    "      C:\\Program Files\\Zarvo\\Backup\\ on that drive.");

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption makeScreen{QStringLiteral("make-screen"),
                                  QStringLiteral("Make the screen file OUTPUT from the picture "
                                                 "INPUT (PNG, JPEG, BMP, GIF, ICO...).")};
    QCommandLineOption check{QStringLiteral("check"),
                             QStringLiteral("Check each FILE as a Windows 98 screen file; the "
                                            "exit status is 0 only when all are fine.")};
    QCommandLineOption restore{
        QStringLiteral("restore"),
        QStringLiteral("Put back the originals kept on drive C: ($ZARVO_DRIVE_C, else the "
                       "emulated drive), one line for each; the exit status is 0 only when all "
                       "came back.")};
    QCommandLineOption fill{QStringLiteral("fill"),
                            QStringLiteral("With --make-screen: crop the picture to fill the "
                                           "screen instead of adding black bars.")};
    QCommandLineOption noDither{
        QStringLiteral("no-dither"),
        QStringLiteral("With --make-screen: no error diffusion, flat areas of nearest colours.")};
    QCommandLineOption band{
        QStringLiteral("band"),
        QStringLiteral("With --make-screen: keep palette entries FIRST-255 (1-255) for a "
                       "colour-cycling bar along the bottom edge, which Windows animates while "
                       "it boots. Windows' own boot picture uses 236."),
        QStringLiteral("FIRST")};
    QCommandLineOption force{
        QStringLiteral("force"),
        QStringLiteral("With --make-screen: replace OUTPUT if it is already there.")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(kDescription);
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, makeScreen, check, restore, fill, noDither, band, force});
        parser.addPositionalArgument(QStringLiteral("files"),
                                     QStringLiteral("INPUT OUTPUT for --make-screen, the files to "
                                                    "look at for --check."),
                                     QStringLiteral("[FILE...]"));
    }
};

// Usage: line names the command as the user typed it; without a
// QCoreApplication Qt would call it <executable_name>.
QString helpTextFor(const QCommandLineParser& parser, const QString& program) {
    QString text = parser.helpText();
    const qsizetype usageEnd = text.indexOf(QLatin1Char('\n'));
    const QString name = QFileInfo(program).fileName();
    text.replace(
        0, usageEnd,
        QStringLiteral("Usage: %1 [options] [FILE...]").arg(name.isEmpty() ? "zarvo" : name));
    return text;
}

CommandLine usageError(const QString& error) {
    CommandLine result;
    result.command = Command::Help;
    result.error = error;
    return result;
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
        const QByteArray head = file.read(screen::kHeadSize);
        const screen::Check check =
            screen::check(std::string_view(head.constData(), std::size_t(head.size())),
                          static_cast<std::uint64_t>(file.size()));
        QString line = path + QStringLiteral(": ");
        if (check.fine()) {
            line += QStringLiteral("fine, ");
        } else {
            line += QStringLiteral("will not show at boot: ");
            for (const std::string& problem : check.problems)
                line += QString::fromStdString(problem) + QStringLiteral("; ");
            status = 1;
        }
        if (check.bandStart >= 0)
            line += QString::fromStdString(screen::describeBand(check.bandStart));
        if (line.endsWith(QStringLiteral("; "))) line.chop(2);
        out << line << '\n';
    }
    return status;
}

int makeScreen(const CommandLine& commandLine, QTextStream& err) {
    // Reading pictures needs Qt's image plugins, which a QCoreApplication
    // finds; no display is needed for it.
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "zarvo";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    try {
        makeScreenFile(commandLine.files.at(0), commandLine.files.at(1), commandLine.screen);
    } catch (const ScreenError& error) {
        err << "zarvo: " << QString::fromStdString(error.what());
        if (error.kind() == ScreenError::Kind::OutputExists) err << " (--force replaces it)";
        err << '\n';
        return 1;
    }
    return 0;
}

// Restores the drive the window would open, writing nothing when the drive
// setting is bad. Items come back one by one: a failure is reported and the
// rest go on.
int restoreOriginals(QTextStream& out, QTextStream& err) {
    const DriveSetting drive = driveSetting();
    if (drive.problem) {
        err << "zarvo: " << QString::fromStdString(drive.problem->description()) << '\n';
        return 1;
    }
    LinuxSystem::Options options;
    options.driveRoot = drive.root;
    LinuxSystem system(options);
    const RestoreReport report = zarvo::restoreOriginals(system);
    for (const std::string& line : report.restored) out << QString::fromStdString(line) << '\n';
    for (const std::string& line : report.failures)
        err << "zarvo: " << QString::fromStdString(line) << '\n';
    if (report.restored.empty() && report.failures.empty()) {
        if (report.kept == 0)
            out << "nothing to restore: Zarvo has kept no originals on drive C: ("
                << QFile::decodeName(QByteArray::fromStdString(system.driveRoot())) << ")\n";
        else
            out << "nothing to restore: the " << report.kept << " kept original"
                << (report.kept == 1 ? " is" : "s are") << " in place\n";
    }
    return report.failures.empty() ? 0 : 1;
}

}  // namespace

QStringList commandLineArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const Options options;
    options.addTo(parser);
    const bool parsed = parser.parse(arguments);

    CommandLine result;
    result.helpText = helpTextFor(parser, arguments.value(0));
    const bool makeScreen = parser.isSet(options.makeScreen);
    const bool check = parser.isSet(options.check);
    if (parser.isSet(options.help)) {
        result.command = Command::Help;
        return result;
    }
    if (parser.isSet(options.version)) {
        result.command = Command::Version;
        return result;
    }
    const QList<const QCommandLineOption*> screenOnly = {&options.fill, &options.noDither,
                                                         &options.band, &options.force};
    bool screenOption = false;
    for (const QCommandLineOption* option : screenOnly) screenOption |= parser.isSet(*option);
    const bool restore = parser.isSet(options.restore);
    if (!makeScreen && !check && !screenOption && !restore) return result;  // the window

    if (!parsed) return usageError(parser.errorText());
    if (restore) {
        if (makeScreen || check || screenOption || !parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--restore goes alone"));
        result.command = Command::Restore;
        return result;
    }
    if (makeScreen && check)
        return usageError(QStringLiteral("--make-screen and --check go alone"));
    for (const QCommandLineOption* option : screenOnly)
        if (!makeScreen && parser.isSet(*option))
            return usageError(
                QStringLiteral("--%1 goes with --make-screen").arg(option->names().constLast()));

    result.files = parser.positionalArguments();
    if (check) {
        if (result.files.isEmpty()) return usageError(QStringLiteral("--check needs a file name"));
        result.command = Command::Check;
        return result;
    }
    if (result.files.size() != 2)
        return usageError(QStringLiteral("--make-screen needs INPUT and OUTPUT, got %1 file name%2")
                              .arg(result.files.size())
                              .arg(result.files.size() == 1 ? "" : "s"));
    result.screen.fill = parser.isSet(options.fill);
    result.screen.dither = !parser.isSet(options.noDither);
    result.screen.replace = parser.isSet(options.force);
    if (parser.isSet(options.band)) {
        bool number = false;
        const QString value = parser.value(options.band);
        result.screen.bandStart = value.toInt(&number);
        if (!number || result.screen.bandStart < 1 || result.screen.bandStart > 255)
            return usageError(
                QStringLiteral("--band %1: FIRST must be a palette entry from 1 to 255")
                    .arg(value));
    }
    result.command = Command::MakeScreen;
    return result;
}

int runCommand(const CommandLine& commandLine, QTextStream& out, QTextStream& err) {
    if (!commandLine.error.isEmpty()) {
        err << "zarvo: " << commandLine.error << "\nTry 'zarvo --help' for more.\n";
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
            return makeScreen(commandLine, err);
        case Command::Restore:
            return restoreOriginals(out, err);
        case Command::Window:
            break;
    }
    return 2;
}

}  // namespace zarvo
