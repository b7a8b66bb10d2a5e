#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

namespace zarvo {
namespace {

const QString kDescription = QStringLiteral(
    "Changes how a Windows 98 system looks. Without options it opens its window.\n"
    "\n"
    "  zarvo [FILE]\n"
    "      Opens the window on FILE: a disk image or a block device as with\n"
    "      --image FILE, a folder holding an installed Windows or a Wine prefix's\n"
    "      drive_c as with --drive FILE. A file manager's \"Open with\" gives it.\n"
    "  zarvo --open-image | --open-folder\n"
    "      Asks for the disk image, or the folder holding Windows, in a file dialog\n"
    "      and opens the window on it. In the window, a right click or Ctrl+O opens\n"
    "      another drive, and its tooltip names the one open.\n"
    "  zarvo --make-screen [--fill] [--no-dither] [--band FIRST] [--force] INPUT OUTPUT\n"
    "      Makes a Windows 98 screen file (Logo.sys, Logow.sys, Logos.sys) from a\n"
    "      picture: 320 x 400, 256 colours, framed for the 4:3 screen.\n"
    "  zarvo --make-icon [--force] INPUT OUTPUT\n"
    "      Makes a Windows 98 icon from a picture: 16 x 16, 32 x 32 and, from a\n"
    "      picture that large, 48 x 48 images in 16 and 256 colours.\n"
    "  zarvo --check FILE...\n"
    "      Says whether Windows 98 shows each file: a bitmap as a screen file, an\n"
    "      icon or a cursor as one; and why not.\n"
    "  zarvo [--image FILE [--partition N] | --drive DIR] [--restore]\n"
    "      Works on drive C: inside an emulator's disk image or on a partition\n"
    "      (--image /dev/sdb1), in place, without root; or on the folder DIR (a\n"
    "      mounted Windows 98 partition, a Wine prefix's drive_c). Without them:\n"
    "      $ZARVO_DRIVE_C, else the emulated drive. Images are told by content:\n"
    "        raw, fixed VHD   PCem, Bochs, QEMU's default, 86Box before 4.0\n"
    "        dynamic VHD      86Box 4.0 and later, DOSBox-X, Virtual PC\n"
    "        qcow2            QEMU; snapshots with a backing file too\n"
    "        VDI, VMDK, VHDX  VirtualBox, VMware, Hyper-V\n"
    "      Raw disks and fixed VHDs need only mtools; the others are opened\n"
    "      through QEMU's block layer: qemu-utils, libnbd-bin, fuse3, /dev/fuse.\n"
    "  zarvo --restore\n"
    "      Puts back on drive C: every original Zarvo replaced there: the screen\n"
    "      files, the icon values, the wallpaper. They are kept in\n"
    "      C:\\Program Files\\Zarvo\\Backup\\ on that drive.\n"
    "\n"
    "On a real Windows 98 (an image, a partition, a folder holding an installed\n"
    "Windows) the registry values go to C:\\ZARVO.REG: open it in that Windows\n"
    "(double-click) and restart. Icons and wallpapers chosen outside the drive are\n"
    "copied into C:\\Program Files\\Zarvo\\ico\\ and ...\\Wallpaper\\ first. On a Wine\n"
    "prefix the values reach the prefix's registry (wine reg import) as Zarvo ends.");

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption makeScreen{QStringLiteral("make-screen"),
                                  QStringLiteral("Make the screen file OUTPUT from the picture "
                                                 "INPUT (PNG, JPEG, BMP, GIF, ICO...).")};
    QCommandLineOption makeIcon{QStringLiteral("make-icon"),
                                QStringLiteral("Make the Windows 98 icon OUTPUT from the picture "
                                               "INPUT (an icon, SVG, PNG...).")};
    QCommandLineOption check{
        QStringLiteral("check"),
        QStringLiteral("Check each FILE as a Windows 98 screen file, icon or cursor; the exit "
                       "status is 0 only when all are fine.")};
    QCommandLineOption restore{
        QStringLiteral("restore"),
        QStringLiteral("Put back the originals kept on drive C: (--image, --drive, "
                       "$ZARVO_DRIVE_C, else the emulated drive), one line for each; the exit "
                       "status is 0 only when all came back.")};
    QCommandLineOption image{
        QStringLiteral("image"),
        QStringLiteral("Drive C: is the FAT file system in FILE: a disk image (raw, VHD, qcow2, "
                       "VDI, VMDK, VHDX) or a block device (/dev/sdb1). Refused while another "
                       "program (a running emulator) holds it."),
        QStringLiteral("FILE")};
    QCommandLineOption partition{
        QStringLiteral("partition"),
        QStringLiteral("With --image: the partition N of its partition table (from 1) instead of "
                       "the first FAT one."),
        QStringLiteral("N")};
    QCommandLineOption drive{
        QStringLiteral("drive"),
        QStringLiteral("Drive C: is the folder DIR, as with ZARVO_DRIVE_C=DIR (this option wins)."),
        QStringLiteral("DIR")};
    QCommandLineOption openImage{
        QStringLiteral("open-image"),
        QStringLiteral("Ask for the disk image to open in a file dialog, then open the window "
                       "on it (the desktop entry's \"Open a Disk Image\").")};
    QCommandLineOption openFolder{
        QStringLiteral("open-folder"),
        QStringLiteral("Ask for the folder holding Windows in a file dialog, then open the "
                       "window on it.")};
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
        QStringLiteral("With --make-screen or --make-icon: replace OUTPUT if it is already "
                       "there.")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(kDescription);
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, makeScreen, makeIcon, check, restore, image, partition,
                           drive, openImage, openFolder, fill, noDither, band, force});
        parser.addOptions(qtOptions());
        parser.addPositionalArgument(QStringLiteral("files"),
                                     QStringLiteral("The disk image or Windows folder the window "
                                                    "opens; INPUT OUTPUT for --make-screen and "
                                                    "--make-icon; the files to look at for "
                                                    "--check."),
                                     QStringLiteral("[FILE...]"));
    }

    // What QApplication takes out of the arguments for itself (QCoreApplication,
    // QGuiApplication, QApplication and the xcb platform's), one or two dashes
    // alike. They are known here because the arguments are read before
    // QApplication exists, so that a misspelt option is refused before a
    // drive is made, even without a display; --help does not list them.
    static QList<QCommandLineOption> qtOptions() {
        QList<QCommandLineOption> options;
        for (const char* name :
             {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
              "geometry", "qwindowtitle", "title", "qwindowicon", "icon", "session", "style",
              "stylesheet", "display", "name", "visual", "qmljsdebugger"}) {
            options << QCommandLineOption(QString::fromLatin1(name), QString(),
                                          QStringLiteral("value"));
        }
        for (const char* name :
             {"reverse", "testability", "widgetcount", "qdevel", "qdebug", "dograb", "nograb"})
            options << QCommandLineOption(QString::fromLatin1(name));
        for (QCommandLineOption& option : options)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        return options;
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

// Why the parser gave up: an option it does not know, as the user typed it
// ("--make-scren", "-bogus"), else its own words ("missing value after
// '--image'").
QString parseError(const QCommandLineParser& parser, const QStringList& arguments) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) {
        QString text = parser.errorText();
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
        if (!text.isEmpty()) text[0] = text[0].toLower();
        return text;
    }
    QString typed = QStringLiteral("--") + unknown.constFirst();
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--")) break;
        const QString option = argument.section(QLatin1Char('='), 0, 0);
        if (option.startsWith(QLatin1Char('-')) &&
            QStringView(option).mid(option.startsWith(QStringLiteral("--")) ? 2 : 1) ==
                unknown.constFirst()) {
            typed = option;
            break;
        }
    }
    return QStringLiteral("unknown option ") + typed;
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
    const bool makeIcon = parser.isSet(options.makeIcon);
    const bool check = parser.isSet(options.check);
    const bool makeFile = makeScreen || makeIcon;
    if (parser.isSet(options.help)) {
        result.command = Command::Help;
        return result;
    }
    if (parser.isSet(options.version)) {
        result.command = Command::Version;
        return result;
    }
    const QList<const QCommandLineOption*> screenOnly = {&options.fill, &options.noDither,
                                                         &options.band};
    const bool force = parser.isSet(options.force);
    bool fileOption = force;
    for (const QCommandLineOption* option : screenOnly) fileOption |= parser.isSet(*option);
    const bool restore = parser.isSet(options.restore);
    const bool targetOption = parser.isSet(options.image) || parser.isSet(options.partition) ||
                              parser.isSet(options.drive);
    if (!parsed) return usageError(parseError(parser, arguments));
    const bool openImage = parser.isSet(options.openImage);
    if (openImage || parser.isSet(options.openFolder)) {
        if (openImage && parser.isSet(options.openFolder))
            return usageError(QStringLiteral("--open-image and --open-folder: give one"));
        if (targetOption || makeFile || check || fileOption || restore ||
            !parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--%1 asks for the drive and goes alone")
                                  .arg(openImage ? "open-image" : "open-folder"));
        result.target.ask = openImage ? DriveAsk::Image : DriveAsk::Folder;
        return result;
    }
    if (targetOption) {
        if (makeFile || check || fileOption)
            return usageError(
                QStringLiteral("--image, --partition and --drive go with the window "
                               "or --restore"));
        if (parser.isSet(options.image) && parser.isSet(options.drive))
            return usageError(QStringLiteral("--image and --drive name two drives: give one"));
        if (parser.isSet(options.partition) && !parser.isSet(options.image))
            return usageError(QStringLiteral("--partition goes with --image"));
        result.target.image = QFile::encodeName(parser.value(options.image)).toStdString();
        result.target.drive = QFile::encodeName(parser.value(options.drive)).toStdString();
        if (parser.isSet(options.image) && result.target.image.empty())
            return usageError(QStringLiteral("--image needs a file name"));
        if (parser.isSet(options.drive) && result.target.drive.empty())
            return usageError(QStringLiteral("--drive needs a folder name"));
        if (parser.isSet(options.partition)) {
            bool number = false;
            const QString value = parser.value(options.partition);
            result.target.partition = value.toInt(&number);
            if (!number || result.target.partition < 1)
                return usageError(
                    QStringLiteral("--partition %1: N must be a partition number from 1")
                        .arg(value));
        }
    }
    if (!makeFile && !check && !fileOption && !restore) {
        // The window opens one drive: FILE, as a file manager passes it.
        const QStringList files = parser.positionalArguments();
        if (files.size() > 1)
            return usageError(
                QStringLiteral("%1 files given (%2): the window opens one disk image or folder")
                    .arg(files.size())
                    .arg(files.join(QStringLiteral(", "))));
        if (files.isEmpty()) return result;
        if (files.constFirst().isEmpty())
            return usageError(QStringLiteral("FILE is empty: give a disk image or a folder"));
        if (targetOption)
            return usageError(
                QStringLiteral("%1 and --%2 name two drives: give one")
                    .arg(files.constFirst(), parser.isSet(options.drive) ? "drive" : "image"));
        result.target.file = QFile::encodeName(files.constFirst()).toStdString();
        return result;
    }

    if (restore) {
        if (makeFile || check || fileOption || !parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--restore goes alone or with --image or --drive"));
        result.command = Command::Restore;
        return result;
    }
    if (int(makeScreen) + int(makeIcon) + int(check) > 1)
        return usageError(QStringLiteral("--make-screen, --make-icon and --check go alone"));
    for (const QCommandLineOption* option : screenOnly)
        if (!makeScreen && parser.isSet(*option))
            return usageError(
                QStringLiteral("--%1 goes with --make-screen").arg(option->names().constLast()));
    if (force && !makeFile)
        return usageError(QStringLiteral("--force goes with --make-screen or --make-icon"));

    result.files = parser.positionalArguments();
    if (check) {
        if (result.files.isEmpty()) return usageError(QStringLiteral("--check needs a file name"));
        result.command = Command::Check;
        return result;
    }
    if (result.files.size() != 2)
        return usageError(QStringLiteral("--%1 needs INPUT and OUTPUT, got %2 file name%3")
                              .arg(makeIcon ? "make-icon" : "make-screen")
                              .arg(result.files.size())
                              .arg(result.files.size() == 1 ? "" : "s"));
    if (makeIcon) {
        result.icon.replace = force;
        result.command = Command::MakeIcon;
        return result;
    }
    result.screen.fill = parser.isSet(options.fill);
    result.screen.dither = !parser.isSet(options.noDither);
    result.screen.replace = force;
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

}  // namespace zarvo
