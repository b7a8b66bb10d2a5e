#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include "app/commands.h"
#include "app/first_start.h"
#include "changes/kept_originals.h"
#include "formats/screen_file.h"
#include "pages/screens/screen_file_page.h"
#include "pictures/picture_reader.h"
#include "support/fixture.h"
#include "support/icon_bytes.h"
#include "support/picture_bytes.h"
#include "system/linux/linux_system.h"

namespace zarvo {
namespace {

CommandLine parsed(const QStringList& arguments) {
    return parseCommandLine(QStringList{QStringLiteral("zarvo")} + arguments);
}

struct Ran {
    int status;
    QString out, err;
};

Ran run(const QStringList& arguments) {
    Ran ran{};
    QTextStream out(&ran.out), err(&ran.err);
    ran.status = runCommand(parsed(arguments), out, err);
    out.flush();
    err.flush();
    return ran;
}

TEST(CommandLine, OptionsStandBeforeOrAfterTheFileNames) {
    for (const QStringList& arguments :
         {QStringList{"--make-screen", "--band", "236", "in.jpg", "out.bmp", "--fill"},
          QStringList{"in.jpg", "--fill", "--make-screen", "out.bmp", "--band=236"}}) {
        const CommandLine line = parsed(arguments);
        EXPECT_EQ(line.command, Command::MakeScreen) << line.error.toStdString();
        EXPECT_EQ(line.files, (QStringList{"in.jpg", "out.bmp"}));
        EXPECT_EQ(line.screen.bandStart, 236);
        EXPECT_TRUE(line.screen.fill);
        EXPECT_TRUE(line.screen.dither);
        EXPECT_FALSE(line.screen.replace);
    }
    EXPECT_EQ(parsed({"a.sys", "--check", "b.sys"}).files, (QStringList{"a.sys", "b.sys"}));
    EXPECT_EQ(parsed({"--restore"}).command, Command::Restore);
    // Qt's own options are left to the window.
    EXPECT_EQ(parsed({}).command, Command::Window);
    EXPECT_EQ(parsed({"-style", "fusion", "-reverse"}).command, Command::Window);
    // A file manager's "Open with": one argument in UTF-8, spaces and all.
    QByteArray path = QStringLiteral("/home/u/Мои образы/Windows 98.img").toUtf8();
    char name[] = "zarvo";
    char* argv[] = {name, path.data()};
    EXPECT_EQ(parseCommandLine(commandLineArguments(2, argv)).target.file, path.toStdString());
}

TEST(CommandLine, UsageErrorsExitWithTwoAndOneLine) {
    for (const QStringList& arguments :
         {QStringList{"--make-screen", "in.jpg"},
          QStringList{"--make-screen", "a", "b", "--band", "0"},
          QStringList{"--make-screen", "a", "b", "--band", "x"}, QStringList{"--check"},
          QStringList{"--check", "--make-screen", "a", "b"}, QStringList{"--force", "a", "b"},
          QStringList{"--check", "a", "--no-such-option"}, QStringList{"--restore", "a"},
          QStringList{"--restore", "--check", "a"}, QStringList{"--make-icon", "a"},
          QStringList{"--make-icon", "a", "b", "--band", "236"},
          QStringList{"--make-icon", "--make-screen", "a", "b"}, QStringList{"a.img", "b.img"},
          QStringList{"--image", "a.img", "b.img"}, QStringList{""}, QStringList{"-style"},
          QStringList{"--open-image", "a.img"}, QStringList{"--open-folder", "--restore"}}) {
        const Ran ran = run(arguments);
        EXPECT_EQ(ran.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(ran.err.startsWith("zarvo: ")) << ran.err.toStdString();
        EXPECT_TRUE(ran.err.endsWith("; see zarvo --help\n")) << ran.err.toStdString();
        EXPECT_EQ(ran.err.count('\n'), 1) << ran.err.toStdString();
        EXPECT_TRUE(ran.out.isEmpty());
    }
    // An option is named as it was typed.
    EXPECT_EQ(run({"--make-scren", "holiday.jpg", "x.sys"}).err,
              "zarvo: unknown option --make-scren; see zarvo --help\n");
    EXPECT_EQ(run({"a.img", "-bogus=1"}).err, "zarvo: unknown option -bogus; see zarvo --help\n");
}

// The desktop entry offers `zarvo FILE` (%f: one file) for the disk images
// a file manager knows by their usual names.
TEST(DesktopEntry, OffersTheProgramForDiskImages) {
    QFile entry(QStringLiteral(ZARVO_PACKAGING_DIR "/example.zarvo.Zarvo.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    // Each group's keys under the group's name.
    QMap<QString, QString> keys;
    QString group;
    for (const QByteArray& line : entry.readAll().split('\n')) {
        if (line.startsWith('[')) group = QString::fromUtf8(line) + '/';
        keys.insert(group + QString::fromUtf8(line.left(line.indexOf('='))),
                    QString::fromUtf8(line.mid(line.indexOf('=') + 1)));
    }
    EXPECT_EQ(keys.value("[Desktop Entry]/Exec"), "zarvo %f");
    // Its actions reach a drive from the menu, through a dialog.
    EXPECT_EQ(keys.value("[Desktop Action open-image]/Exec"), "zarvo --open-image");
    EXPECT_EQ(keys.value("[Desktop Action open-folder]/Exec"), "zarvo --open-folder");
    EXPECT_EQ(parseCommandLine({"zarvo", "--open-image"}).target.ask, DriveAsk::Image);
    const QStringList types = keys.value("[Desktop Entry]/MimeType").split(';', Qt::SkipEmptyParts);
    const QMimeDatabase mimes;
    for (const char* name : {"a.img", "a.qcow2", "a.vdi", "a.vhd", "a.vhdx", "a.vmdk"}) {
        const QString type = mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
        EXPECT_TRUE(types.contains(type)) << name << ": " << type.toStdString();
    }
}

class CommandLineFiles : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder_.filePath(name); }

    QString photo() const {
        const QString file = path(QStringLiteral("photo.png"));
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(QColor(90, 140, 200));
        image.save(file);
        return file;
    }

    QStringList folderContents() const { return QDir(folder_.path()).entryList(QDir::Files); }

    QTemporaryDir folder_;
};

TEST_F(CommandLineFiles, CheckNamesEveryBadFileWithItsReasons) {
    ASSERT_EQ(run({"--make-screen", "--band", "236", photo(), path("good.sys")}).status, 0);
    QImage(640, 480, QImage::Format_Indexed8).save(path("big.bmp"));
    QImage(320, 400, QImage::Format_RGB32).save(path("deep.bmp"));
    QFile text(path("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();

    const Ran good = run({"--check", path("good.sys")});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, path("good.sys") + ": fine, animates palette entries 236\u2013255\n");

    const Ran bad = run({"--check", path("good.sys"), path("big.bmp"), path("deep.bmp"),
                         path("notes.txt"), path("missing.sys")});
    EXPECT_EQ(bad.status, 1);
    const QStringList lines = bad.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << bad.out.toStdString();
    EXPECT_TRUE(lines[1].contains(
        path("big.bmp") + ": will not show at boot: 640 \u00d7 480, must be 320 \u00d7 400"));
    EXPECT_TRUE(lines[2].contains("24 bits per pixel, must be 8")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], path("notes.txt") + ": will not show at boot: not a bitmap");
    EXPECT_TRUE(bad.err.startsWith("zarvo: " + path("missing.sys") + ": cannot read"));
    EXPECT_EQ(bad.err.count('\n'), 1);
}

TEST_F(CommandLineFiles, CheckJudgesIconsAndCursorsAndMakeIconMakesFineOnes) {
    auto write = [&](const QString& name, const std::string& bytes) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
        return file.fileName();
    };
    const std::string png = test::pngOfSquare(256, QRect(40, 40, 176, 176), QColor(40, 160, 80));
    const QString vista = write("vista.ico", test::iconFileOf({{256, 256, 32, png}}));
    const QString xp = write(
        "xp.ico", test::iconFileOf({test::argbImage(16, 16, test::discPixels(16, 0xff28a050)),
                                    test::argbImage(32, 32, test::discPixels(32, 0xff28a050))}));
    const auto opaque = [](int side) {
        return test::argbImage(side, side, std::vector<std::uint32_t>(side * side, 0xff28a050));
    };
    const QString large = write("large.ico", test::iconFileOf({opaque(64)}));
    const QString cursor = write("arrow.cur", test::iconFileOf({opaque(32)}, 2));
    const QString made = path("made.ico");
    EXPECT_EQ(run({"--make-icon", vista, made}).status, 0);

    const Ran checked = run({"--check", vista, xp, large, made, cursor});
    EXPECT_EQ(checked.status, 1);
    const QString alpha = QStringLiteral(
        " image, 32 bits per pixel with alpha over an empty mask: Windows 98 shows it on black");
    EXPECT_EQ(
        checked.out,
        vista +
            ": will not show as an icon: PNG-compressed 256 \u00d7 256 image: Windows 98 "
            "cannot read it; no image of 48 \u00d7 48 or smaller\n" +
            xp + ": will show badly as an icon: 16 \u00d7 16" + alpha + "; 32 \u00d7 32" + alpha +
            "\n" + large + ": will not show as an icon: no image of 48 \u00d7 48 or smaller\n" +
            made +
            ": fine, an icon Windows 98 shows at 16 \u00d7 16, 32 \u00d7 32 and 48 \u00d7 48\n" +
            cursor + ": fine, a cursor Windows 98 shows at 32 \u00d7 32\n");
    EXPECT_EQ(run({"--check", made, cursor}).status, 0);

    // Never over a file without --force; nothing at all from what is no picture.
    const QByteArray before = [&] {
        QFile file(made);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const Ran kept = run({"--make-icon", xp, made});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.err, "zarvo: " + made + ": already exists (--force replaces it)\n");
    const QString notes = write("notes.txt", "plain text");
    const QStringList files = folderContents();
    const Ran notPicture = run({"--make-icon", notes, path("notes.ico")});
    EXPECT_EQ(notPicture.status, 1);
    EXPECT_EQ(notPicture.err, "zarvo: " + notes + ": not a picture Qt can read\n");
    EXPECT_EQ(folderContents(), files);
    QFile madeFile(made);
    ASSERT_TRUE(madeFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(madeFile.readAll(), before);
    madeFile.close();
    EXPECT_EQ(run({"--make-icon", "--force", xp, made}).status, 0);
    EXPECT_EQ(run({"--check", made}).out,
              made + ": fine, an icon Windows 98 shows at 16 \u00d7 16 and 32 \u00d7 32\n");
}

// icotool marks the pixels at most half opaque by default, keeping their
// colour; told a threshold of 0, only the transparent ones.
TEST_F(CommandLineFiles, CheckWeighsAnIcotoolMaskAgainstTheAlpha) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("icotool")).isEmpty())
        << "no icotool: scripts/zarvo.sh test installs icoutils";
    QImage disc(32, 32, QImage::Format_ARGB32);
    disc.fill(Qt::transparent);
    {
        QPainter painter(&disc);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 30, 30));
        painter.drawEllipse(QRectF(2, 2, 28, 28));
    }
    ASSERT_TRUE(disc.save(path("disc.png")));
    int faint = 0;
    for (int y = 0; y < disc.height(); ++y)
        for (int x = 0; x < disc.width(); ++x)
            faint += qAlpha(disc.pixel(x, y)) > 0 && qAlpha(disc.pixel(x, y)) < 128;
    ASSERT_GT(faint, 0);
    for (const QString& threshold : {QStringLiteral("127"), QStringLiteral("0")})
        ASSERT_EQ(QProcess::execute(
                      QStringLiteral("icotool"),
                      {"-c", "-t", threshold, "-o", path(threshold + ".ico"), path("disc.png")}),
                  0);

    const Ran checked = run({"--check", path("127.ico"), path("0.ico")});
    EXPECT_EQ(checked.status, 1);
    const QString image =
        QStringLiteral(
            ": will show badly as an icon: 32 \u00d7 32 image, 32 bits per pixel with %1 ")
            .arg(faint);
    EXPECT_EQ(checked.out,
              path("127.ico") + image +
                  "pixels under the mask that are not black: Windows 98 XORs their colours "
                  "into what lies behind\n" +
                  path("0.ico") + image +
                  "mostly transparent pixels outside the mask: Windows 98 draws its soft edges "
                  "at full strength\n");
}

TEST_F(CommandLineFiles, MakeScreenRefusesAndLeavesNothingBehind) {
    const QString input = photo();
    auto refused = [&](const QStringList& arguments, const QString& named, const QString& reason) {
        const QStringList before = folderContents();
        const Ran ran = run(arguments);
        EXPECT_EQ(ran.status, 1);
        EXPECT_TRUE(ran.err.startsWith("zarvo: " + named + ": ")) << ran.err.toStdString();
        EXPECT_TRUE(ran.err.contains(reason)) << ran.err.toStdString();
        EXPECT_EQ(ran.err.count('\n'), 1);
        EXPECT_EQ(folderContents(), before);
    };
    refused({"--make-screen", path("missing.png"), path("out.sys")}, path("missing.png"),
            "no such file");
    QFile notPicture(path("notes.txt"));
    ASSERT_TRUE(notPicture.open(QIODevice::WriteOnly));
    notPicture.write("plain text");
    notPicture.close();
    refused({"--make-screen", path("notes.txt"), path("out.sys")}, path("notes.txt"),
            "not a picture");
    // Pictures cut short, which Qt reads with the rest grey or black.
    for (const char* format : {"bmp", "jpg"}) {
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(QColor(20, 90, 160));
        const QString cut = path(QStringLiteral("cut.") + format);
        ASSERT_TRUE(photo.save(cut, format));
        QFile(cut).resize(QFileInfo(cut).size() / 2);
        refused({"--make-screen", cut, path("out.sys")}, cut, "short");
    }
    // A picture larger than Qt decodes within its memory cap, for both
    // commands; the cap is lowered so that a small file is enough.
    const int cap = pictureMemoryLimitMb();
    setPictureMemoryLimitMb(1);
    QImage large(1000, 600, QImage::Format_RGB32);
    large.fill(Qt::darkCyan);
    ASSERT_TRUE(large.save(path("large.png")));
    for (const char* command : {"--make-screen", "--make-icon"})
        refused({command, path("large.png"), path("out")}, path("large.png"),
                "the picture is 1000 \u00d7 600 pixels, too large to read within 1 MB");
    setPictureMemoryLimitMb(cap);

    // An existing output stays as it was until --force.
    QFile::copy(path("notes.txt"), path("LOGO.SYS"));
    const Ran kept = run({"--make-screen", input, path("LOGO.SYS")});
    EXPECT_EQ(kept.status, 1);
    EXPECT_TRUE(kept.err.contains("already exists")) << kept.err.toStdString();
    EXPECT_EQ(QFileInfo(path("LOGO.SYS")).size(), 10);
    EXPECT_EQ(run({"--make-screen", "--force", input, path("LOGO.SYS")}).status, 0);
    EXPECT_EQ(QFileInfo(path("LOGO.SYS")).size(), 129078);

    // A folder this user cannot write to: a read-only one, or /proc for root,
    // who writes anywhere else.
    QDir(folder_.path()).mkdir("locked");
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner);
    const QString locked =
        QFileInfo(path("locked")).isWritable() ? QStringLiteral("/proc/self") : path("locked");
    const Ran unwritable = run({"--make-screen", input, locked + "/LOGO.SYS"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(unwritable.err.startsWith("zarvo: " + locked + "/LOGO.SYS: cannot write"))
        << unwritable.err.toStdString();
    EXPECT_TRUE(QDir(locked).entryList({"LOGO.SYS*"}, QDir::Files | QDir::Hidden).isEmpty());
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The real program, as a script or an ssh session starts it: no display.
TEST_F(CommandLineFiles, RunsWithoutADisplay) {
    const QString zarvo = QStringLiteral(ZARVO_EXECUTABLE);
    ASSERT_TRUE(QFileInfo(zarvo).isExecutable()) << zarvo.toStdString();
    auto start = [&](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        process.setProcessEnvironment(environment);
        process.start(zarvo, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
    };
    const auto [helpStatus, help] = start({"--help"});
    EXPECT_EQ(helpStatus, 0);
    EXPECT_TRUE(help.contains("--make-screen") && help.contains("--make-icon") &&
                help.contains("--check") && help.contains("--band") && help.contains("--restore"));
    EXPECT_EQ(start({"--version"}).first, 0);
    EXPECT_EQ(start({photo(), path("LOGO.SYS"), "--make-screen", "--band", "236"}).first, 0);
    const auto [checkStatus, check] = start({"--check", path("LOGO.SYS")});
    EXPECT_EQ(checkStatus, 0);
    EXPECT_TRUE(check.contains("fine, animates palette entries 236")) << check.toStdString();
}

// The real program on a first run: a misspelt option, with or without a
// display, or a FILE that is no drive is one line, and no drive is made.
TEST_F(CommandLineFiles, MistakesAreRefusedBeforeADriveIsMade) {
    QDir().mkdir(path("home"));
    auto start = [&](const QStringList& arguments, bool display) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME", "ZARVO_DRIVE_C"})
            environment.remove(name);
        environment.insert("HOME", path("home"));
        environment.insert("QT_QPA_PLATFORM", display ? "offscreen" : "");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZARVO_EXECUTABLE), arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        // Its last line: Qt may warn of the environment before it.
        const QString err = QString::fromUtf8(process.readAllStandardError());
        return std::pair{process.exitCode(), err.section('\n', -2).toStdString()};
    };
    for (const bool display : {true, false})
        EXPECT_EQ(
            start({"-style", "fusion", "--make-scren", "a.jpg", "b.sys"}, display),
            std::pair(2, std::string("zarvo: unknown option --make-scren; see zarvo --help\n")));
    ASSERT_TRUE(QFile(path("notes.txt")).open(QIODevice::WriteOnly));
    EXPECT_EQ(start({"-platform", "offscreen", path("notes.txt")}, true),
              std::pair(1, "zarvo: " + path("notes.txt").toStdString() +
                               ": not a disk image, a block device or a folder holding Windows\n"));
    EXPECT_TRUE(QDir(path("home")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// --restore on the drive ZARVO_DRIVE_C names, as a user runs it.
TEST_F(CommandLineFiles, RestorePutsBackWhatTheWindowChanged) {
    struct Result {
        int status;
        QString out, err;
    };
    auto restore = [&](const QString& drive) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.insert("ZARVO_DRIVE_C", drive);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZARVO_EXECUTABLE), {"--restore"});
        EXPECT_TRUE(process.waitForFinished(30000));
        return Result{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                      QString::fromUtf8(process.readAllStandardError())};
    };
    const QString drive = path("drive_c");
    const Result none = restore(drive);
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out,
              "nothing to restore: Zarvo has kept no originals on drive C: (" + drive + ")\n");
    const Result bad = restore(path("no/drive_c"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains("ZARVO_DRIVE_C") && bad.err.contains(path("no/drive_c")))
        << bad.err.toStdString();
    EXPECT_EQ(folderContents(), QStringList());
    EXPECT_FALSE(QFileInfo::exists(drive));

    const std::string shellIcons =
        "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
    LinuxSystem::Options options;
    options.driveRoot = drive.toStdString();
    LinuxSystem system(options);
    installDrive(system);
    const std::string logow = system.readFile("C:\\Windows\\Logow.sys");
    KeepingOriginals keeping(system);
    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logow.sys");
    keeping.createRegistryWriter()->storeString(hkey::LocalMachine, shellIcons, "3", "a.ico");

    const Result first = restore(drive);
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, "restored C:\\Windows\\Logow.sys\nremoved HKEY_LOCAL_MACHINE\\" +
                             QString::fromStdString(shellIcons) +
                             ", value \"3\", which was not there before Zarvo\n");
    EXPECT_EQ(system.readFile("C:\\Windows\\Logow.sys"), logow);
    EXPECT_EQ(restore(drive).out, "nothing to restore: the 2 kept originals are in place\n");

    keeping.copyFile("C:\\Program Files\\Zarvo\\Logo.sys", "C:\\Windows\\Logow.sys");
    system.setAttributes("C:\\Windows\\Logow.sys", attr::ReadOnly);
    QFile::remove(path("zarvo.reg"));
    QDir().mkdir(path("zarvo.reg"));  // a store that cannot be read
    const Result failed = restore(drive);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "restored C:\\Windows\\Logow.sys\n");
    EXPECT_TRUE(failed.err.startsWith("zarvo: HKEY_LOCAL_MACHINE\\"));
    EXPECT_TRUE(failed.err.contains("\"3\": not restored: ")) << failed.err.toStdString();
    EXPECT_EQ(system.readFile("C:\\Windows\\Logow.sys"), logow);
}

// --drive and --image choose the drive for the window and --restore alike;
// an unusable image is refused before anything is written.
TEST_F(CommandLineFiles, TheDriveOptions) {
    const CommandLine window = parsed({"--image", "disk.img", "--partition", "2", "-style", "x"});
    EXPECT_EQ(window.command, Command::Window) << window.error.toStdString();
    EXPECT_EQ(window.target.image, "disk.img");
    EXPECT_EQ(window.target.partition, 2);
    EXPECT_EQ(parsed({"--restore", "--drive", "d"}).target.drive, "d");
    for (const QStringList& wrong :
         {QStringList{"--image", "a", "--drive", "b"}, QStringList{"--partition", "1"},
          QStringList{"--image", "a", "--partition", "0"},
          QStringList{"--image", "a", "--check", "f"}, QStringList{"--restore", "--image"}})
        EXPECT_EQ(run(wrong).status, 2) << wrong.join(' ').toStdString();

    auto start = [&](const QStringList& arguments, const QString& programs = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!programs.isEmpty()) environment.insert("PATH", programs);
        environment.insert("ZARVO_DRIVE_C", path("from-variable"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ZARVO_EXECUTABLE), arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput() +
                                                               process.readAllStandardError())};
    };
    // --drive wins over the variable.
    QDir().mkdir(path("chosen"));
    const auto [status, said] = start({"--restore", "--drive", path("chosen")});
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(said.contains(path("chosen"))) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("from-variable")));

    // Not an image: one line, a failure, the file as it was, in both modes.
    {
        QFile text(path("notes.txt"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(4096, 'z'));
    }
    for (const QStringList& arguments : {QStringList{"--restore", "--image", path("notes.txt")},
                                         QStringList{"--image", path("notes.txt")}}) {
        const auto [refused, message] = start(arguments);
        EXPECT_EQ(refused, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(message.contains("zarvo: " + path("notes.txt") + ": "))
            << message.toStdString();
    }
    QFile text(path("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(text.readAll(), QByteArray(4096, 'z'));
    EXPECT_EQ(folderContents(), QStringList{"notes.txt"});

    // A qcow2 disk (named as the guides name it) where nbdfuse is missing:
    // one line with the image, its format, the program, its package and
    // the last way out, before anything is written.
    const QString disk = path("win98.img");
    ASSERT_EQ(QProcess::execute("qemu-img", {"create", "-q", "-f", "qcow2", disk, "64M"}), 0);
    const QString bin = path("bin");
    QDir().mkdir(bin);
    for (const char* program : {"mcopy", "mdel", "mren", "mmd", "mattrib", "mdir", "mtype",
                                "mshowfat", "qemu-nbd", "fusermount3"})
        QFile::link(QStandardPaths::findExecutable(program), bin + '/' + program);
    const QByteArray before = [&] {
        QFile file(disk);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const auto [refused, message] = start({"--restore", "--image", disk}, bin);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(message,
              "zarvo: " + disk +
                  ": a qcow2 disk, which Zarvo opens through QEMU's block layer over "
                  "FUSE; nbdfuse is not installed: install the package \"libnbd-bin\", "
                  "or as a last way out convert it to a raw disk: qemu-img convert -O raw '" +
                  disk + "' '" + path("win98") + "-raw.img'\n");
    QFile after(disk);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

// A made screen file is a bitmap like any other to the Boot picture page:
// it shows in the preview and steps 1, 2 and 3 install it.
class MadeScreenOnBootPage : public test::ProgramTest {};

TEST_F(MadeScreenOnBootPage, PreviewsAndInstalls) {
    QImage photo(800, 600, QImage::Format_RGB32);
    photo.fill(QColor(200, 120, 40));
    ScreenOptions options;
    options.bandStart = 236;
    const std::string bytes = screenFileFor(photo, options);
    std::filesystem::create_directories(host("C:\\Pics"));
    writeHost("C:\\Pics\\Mine.bmp", bytes);

    ScreenFilePage& page = *find<ScreenFilePage>("Frame6");
    ui->answerOpen("C:\\Pics\\Mine.bmp");
    page.openButton->click();
    EXPECT_EQ(page.preview->picture().size(), QSize(320, 400));
    page.step1->click();
    page.step2->click();
    page.step3->click();
    EXPECT_EQ(readHost("C:\\Logo.sys"), bytes);
}

}  // namespace
}  // namespace zarvo
