#include "app/target.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextStream>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/first_start.h"
#include "app/main_window.h"
#include "app/registry_step.h"
#include "app/reports.h"
#include "app/startup.h"
#include "app/target_menu.h"
#include "changes/kept_originals.h"
#include "support/picture_bytes.h"
#include "support/scripted_ui.h"
#include "system/image/test_image.h"
#include "system/ini_files.h"
#include "system/linux/wine_prefix.h"
#include "widgets/controls.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

const char* const kShellIcons =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string bitmap(Qt::GlobalColor colour) {
    QImage image(8, 4, QImage::Format_RGB32);
    image.fill(colour);
    return test::fileBytes(image, "BMP");
}

// A folder holding an installed Windows 98 (lower-case names, as a mounted
// partition may show them), and the user's files outside it, driven through
// the window as the program opens it on such a drive.
class RealTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zarvo-tree-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base = pattern;
        drive = base / "win98";
        for (const char* name : {"windows/win.com", "windows/system.dat", "windows/User.Dat"})
            write(drive / name, "x");
        write(drive / "windows/win.ini", "[windows]\r\n");
    }
    void TearDown() override {
        close();
        fs::remove_all(base);
        ::unsetenv("ZARVO_DRIVE_C");
    }
    void close() {
        delete std::exchange(form, nullptr);
        ui.reset();
        registryStep.reset();
        refusedDrive.reset();
        keeping = nullptr;
        target = {};
    }
    void open() {
        TargetOptions options;
        options.drive = drive.string();
        openWindow(driveSetting(options));
    }
    // The window on `setting`'s drive, as main() puts it together.
    void openWindow(const DriveSetting& setting) {
        target = openTarget(setting);
        keeping = target.keeping.get();
        ui = std::make_unique<test::ScriptedUi>(*keeping);
        ASSERT_TRUE(prepareDrive(setting, target.plain(), *ui));
        form = new Form1(*keeping, *ui);
    }
    // Starts as main() does with `arguments` after the program's name, the
    // services scripted: whether the window opened. Its stderr is `said`.
    bool startWith(const QStringList& arguments, const DriveAsker& ask = {}) {
        close();
        said.clear();
        QTextStream err(&said);
        Program program = startProgram(
            parseCommandLine(QStringList{"zarvo"} + arguments).target, err, true,
            [](ISystem& system) { return std::make_unique<test::ScriptedUi>(system); }, ask);
        refusedDrive = std::move(program.refusedDrive);
        registryStep = std::move(program.registryStep);
        startAgain = program.startAgain;
        cancelled = program.cancelled;
        target = std::move(program.target);
        keeping = target.keeping.get();
        ui.reset(static_cast<test::ScriptedUi*>(program.ui.release()));
        return (form = program.form) != nullptr;
    }
    void click(const char* name) { form->findChild<QAbstractButton*>(name)->click(); }
    static constexpr const char* kNoDosfstools =
        "dosfstools is not installed: scripts/zarvo.sh test installs it";
    // mkfs.fat and fsck.fat live in /sbin, outside a user's PATH.
    static QString dosTool(const char* name) {
        return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    }
    // A bare 16 MiB FAT16 volume with no partition table.
    std::string makeImage() {
        const std::string image = (base / "disk.img").string();
        write(image, "");
        fs::resize_file(image, 16 << 20);
        EXPECT_EQ(
            QProcess::execute(dosTool("mkfs.fat"), {"-F", "16", QString::fromStdString(image)}), 0);
        return image;
    }
    void storeIcon(const fs::path& file, bool bmp) {
        auto* combo = form->findChild<QComboBox*>("Combo1");
        combo->showPopup();
        combo->view()->setCurrentIndex(combo->model()->index(2, 0));
        QTest::keyClick(combo->view(), Qt::Key_Return);
        if (bmp) click("Option5");
        ui->answerOpen(QString::fromStdString(keeping->windowsPath(file.string())));
        click("Command1");
        click("Command2");
    }
    std::string iconValue() {
        const auto slot = form->findChild<PathField*>("Text1")->text().toStdString();
        return keeping->createRegistryWriter()
            ->readString(hkey::LocalMachine, kShellIcons, slot)
            .value_or("");
    }

    fs::path base, drive;
    std::unique_ptr<ISystem> refusedDrive;
    std::unique_ptr<RegistryStepWatch> registryStep;
    std::shared_ptr<std::optional<QStringList>> startAgain;
    bool cancelled = false;
    Target target;
    KeepingOriginals* keeping = nullptr;  // the target's
    std::unique_ptr<test::ScriptedUi> ui;
    Form1* form = nullptr;
    QString said;
};

TEST_F(RealTreeTest, ChosenFilesAreCopiedIntoTheDriveAndTheRegistryFileIsInside) {
    open();
    EXPECT_EQ(target.registryStore, (drive / "ZARVO.REG").string());
    EXPECT_FALSE(fs::exists(drive / "windows/ShellIconCache"));
    const std::string icon = readAll(drive / "Program Files/Zarvo/ico/1.ico");
    ASSERT_FALSE(icon.empty());

    // An icon from the home folder: the value names a copy on C:.
    write(base / "home/pick.ico", icon);
    storeIcon(base / "home/pick.ico", false);
    EXPECT_EQ(iconValue(), "C:\\Program Files\\Zarvo\\ico\\pick.ico");
    EXPECT_EQ(readAll(drive / "Program Files/Zarvo/ico/pick.ico"), icon);
    EXPECT_TRUE(readAll(drive / "ZARVO.REG").find("pick.ico") != std::string::npos);
    // The store's lock leaves no file of its own in the drive.
    EXPECT_FALSE(fs::exists(drive / "ZARVO.REG.lock"));
    EXPECT_FALSE(fs::exists(base / "zarvo.reg"));

    // Another file of that name never replaces the first copy.
    write(base / "other/pick.ico", icon + "!");
    storeIcon(base / "other/pick.ico", false);
    EXPECT_EQ(iconValue(), "C:\\Program Files\\Zarvo\\ico\\pick~2.ico");
    EXPECT_EQ(readAll(drive / "Program Files/Zarvo/ico/pick.ico"), icon);

    // "bmp": the copy gets the .ico name, the user's bitmap stays as it was.
    const std::string picture = bitmap(Qt::red);
    write(base / "home/sea.bmp", picture);
    storeIcon(base / "home/sea.bmp", true);
    EXPECT_EQ(iconValue(), "C:\\Program Files\\Zarvo\\ico\\sea.bmp.ico");
    EXPECT_EQ(readAll(drive / "Program Files/Zarvo/ico/sea.bmp.ico"), picture);
    EXPECT_EQ(readAll(base / "home/sea.bmp"), picture);
    EXPECT_FALSE(fs::exists(base / "home/sea.bmp.ico"));

    // The wallpaper, in the registry file and in WIN.INI.
    write(base / "home/blue.bmp", bitmap(Qt::blue));
    ui->answerOpen(QString::fromStdString(keeping->windowsPath((base / "home/blue.bmp").string())));
    click("Command7");
    click("Command6");
    const std::string copy = "C:\\Program Files\\Zarvo\\Wallpaper\\blue.bmp";
    EXPECT_EQ(readAll(drive / "Program Files/Zarvo/Wallpaper/blue.bmp"), bitmap(Qt::blue));
    EXPECT_EQ(iniValue(*keeping, "C:\\Windows\\WIN.INI", "Desktop", "Wallpaper"), copy);
    EXPECT_EQ(keeping->createRegistryWriter()->readString(hkey::CurrentUser,
                                                          "Control Panel\\Desktop", "Wallpaper"),
              copy);
}

TEST_F(RealTreeTest, WhatMakesATarget) {
    EXPECT_TRUE(isRealWindowsTree(drive.string()));
    fs::remove(drive / "windows/User.Dat");
    EXPECT_FALSE(isRealWindowsTree(drive.string()));
    EXPECT_EQ(registryStoreFor(drive.string(), false), (base / "zarvo.reg").string());

    // A Wine prefix needs both registry files beside drive_c.
    const fs::path prefix = base / "prefix";
    write(prefix / "drive_c/windows/win.ini", "");
    write(prefix / "system.reg", "");
    EXPECT_EQ(winePrefixOf((prefix / "drive_c").string()), "");
    write(prefix / "user.reg", "");
    EXPECT_EQ(winePrefixOf((prefix / "drive_c/").string()), prefix.string());
    EXPECT_EQ(winePrefixOf(drive.string()), "");

    // --drive wins over the variable.
    ::setenv("ZARVO_DRIVE_C", (base / "from-variable").c_str(), 1);
    EXPECT_EQ(driveSetting().root, (base / "from-variable").string());
    TargetOptions options;
    options.drive = (base / "no/such").string();
    const DriveSetting chosen = driveSetting(options);
    EXPECT_EQ(chosen.root, options.drive);
    ASSERT_TRUE(chosen.problem);
    EXPECT_NE(chosen.problem->description().find("--drive"), std::string::npos);
}

// An image is a real tree: the first start only installs the program folder,
// and an icon from the home folder is copied into the image.
TEST_F(RealTreeTest, AnImageGetsItsOwnCopies) {
    ASSERT_FALSE(dosTool("mkfs.fat").isEmpty()) << kNoDosfstools;
    const std::string image = makeImage();

    DriveSetting setting;
    setting.image = image;
    target = openTarget(setting);
    ASSERT_TRUE(target.intoDrive);
    test::ScriptedUi ui(target.plain());
    ASSERT_TRUE(prepareDrive(setting, target.plain(), ui));
    EXPECT_TRUE(target.plain().fileExists("C:\\Program Files\\Zarvo\\ico\\1.ico"));
    EXPECT_FALSE(target.plain().fileExists("C:\\Windows"));

    write(base / "home/mine.ico", "ICON");
    const std::string chosen = target.top().windowsPath((base / "home/mine.ico").string());
    target.top().createRegistryWriter()->storeString(hkey::LocalMachine, kShellIcons, "3", chosen);
    EXPECT_EQ(target.top().createRegistryWriter()->readString(hkey::LocalMachine, kShellIcons, "3"),
              "C:\\Program Files\\Zarvo\\ico\\mine.ico");
    EXPECT_EQ(target.plain().readFile("C:\\Program Files\\Zarvo\\ico\\mine.ico"), "ICON");
    EXPECT_TRUE(target.plain().readFile("C:\\ZARVO.REG").find("mine.ico") != std::string::npos);

    // --restore only takes the value out of C:\ZARVO.REG, says so, and
    // leaves UNDO.REG for a Windows that already took it.
    target = {};
    QProcess restore;
    restore.start(QStringLiteral(ZARVO_EXECUTABLE),
                  {"--restore", "--image", QString::fromStdString(image)});
    ASSERT_TRUE(restore.waitForFinished(30000));
    EXPECT_EQ(restore.exitCode(), 0) << restore.readAllStandardError().toStdString();
    EXPECT_EQ(restore.readAllStandardOutput().toStdString(),
              "taken out of C:\\ZARVO.REG: HKEY_LOCAL_MACHINE\\" + std::string(kShellIcons) +
                  ", value \"3\", which was not there before Zarvo\n"
                  "only C:\\ZARVO.REG changed: if it was already opened in Windows, open "
                  "C:\\Program Files\\Zarvo\\Backup\\UNDO.REG there too (double-click it), "
                  "then restart\n");
    target = openTarget(setting);
    EXPECT_TRUE(target.plain().readFile("C:\\ZARVO.REG").find("mine.ico") == std::string::npos);
    EXPECT_TRUE(target.plain().fileExists("C:\\Program Files\\Zarvo\\Backup\\UNDO.REG"));
}

// The boot picture installed by "1", "2", "3" from a file in the home
// folder lands inside the image, and the file system stays clean.
TEST_F(RealTreeTest, StepsInstallABootPictureInsideAnImage) {
    const QString fsck = dosTool("fsck.fat");
    ASSERT_FALSE(fsck.isEmpty()) << kNoDosfstools;
    const std::string image = makeImage();

    DriveSetting setting;
    setting.image = image;
    ASSERT_NO_FATAL_FAILURE(openWindow(setting));

    const std::string picture = bitmap(Qt::red);
    write(base / "home/sunset.bmp", picture);
    ui->answerOpen(
        QString::fromStdString(keeping->windowsPath((base / "home/sunset.bmp").string())));
    for (const char* step : {"Command14", "Command17", "Command15", "Command16"}) click(step);
    ASSERT_FALSE(ui->messages().empty());
    EXPECT_EQ(ui->messages().back().text, QStringLiteral("Вступет в силу после перегрузки"));
    EXPECT_EQ(target.plain().readFile("C:\\Logo.sys"), picture);
    EXPECT_FALSE(target.plain().fileExists("C:\\sunset.bmp"));
    EXPECT_EQ(readAll(base / "home/sunset.bmp"), picture);
    EXPECT_EQ(QProcess::execute(fsck, {"-n", QString::fromStdString(image)}), 0);
}

// A program that has the image open stops every step that would write to
// it: the window shows why, even where step "2" otherwise keeps quiet about
// an error, and goes on; --restore ends with the same line.
TEST_F(RealTreeTest, NoStepWritesAnImageAnotherProgramHasOpen) {
    ASSERT_FALSE(dosTool("mkfs.fat").isEmpty()) << kNoDosfstools;
    const std::string image = makeImage();
    DriveSetting setting;
    setting.image = image;
    ASSERT_NO_FATAL_FAILURE(openWindow(setting));
    write(base / "home/sunset.bmp", bitmap(Qt::red));
    ui->answerOpen(
        QString::fromStdString(keeping->windowsPath((base / "home/sunset.bmp").string())));
    for (const char* step : {"Command14", "Command17"}) click(step);  // "Открыть", "1"
    ASSERT_TRUE(target.plain().fileExists("C:\\Logo.sys"));

    testing::Holder holder(image);
    const std::string before = readAll(image);
    const QString report = "Ошибка выполнения '70':\n\nОбраз " + QString::fromStdString(image) +
                           " открыт в программе sleep (pid " + QString::number(holder.pid) +
                           "). Закройте её и повторите попытку.";
    for (const char* step : {"Command17", "Command15", "Command9", "Command10"}) {
        const auto shown = ui->messages().size();
        click(step);
        ASSERT_EQ(ui->messages().size(), shown + 1) << step;
        EXPECT_EQ(ui->messages().back().text, report) << step;
    }
    EXPECT_EQ(readAll(image), before);

    holder.stop();
    const auto shown = ui->messages().size();
    click("Command15");
    EXPECT_EQ(ui->messages().size(), shown);
    EXPECT_NE(readAll(image), before);

    // The window's session holds the image too: it goes first.
    delete std::exchange(form, nullptr);
    target = {};
    testing::Holder another(image);
    QProcess restore;
    restore.start(QStringLiteral(ZARVO_EXECUTABLE),
                  {"--restore", "--image", QString::fromStdString(image)});
    ASSERT_TRUE(restore.waitForFinished(30000));
    EXPECT_EQ(restore.exitCode(), 1);
    EXPECT_EQ(restore.readAllStandardError().toStdString(), "zarvo: " + another.said(image) + "\n");
}

// What a file manager's "Open with" runs: `zarvo FILE`, over ZARVO_DRIVE_C.
TEST_F(RealTreeTest, AFileGivenAloneOpensAsItsContentSays) {
    ASSERT_FALSE(dosTool("mkfs.fat").isEmpty()) << kNoDosfstools;
    ::setenv("ZARVO_DRIVE_C", (base / "from-variable").c_str(), 1);
    const fs::path image = base / "Мои образы/Windows 98.img";
    fs::create_directories(image.parent_path());
    fs::rename(makeImage(), image);
    ASSERT_TRUE(startWith({QString::fromStdString(image.string())})) << said.toStdString();
    // An icon from the home folder, stored through the window, lands inside.
    const std::string icon = target.plain().readFile("C:\\Program Files\\Zarvo\\ico\\1.ico");
    write(base / "home/pick.ico", icon);
    storeIcon(base / "home/pick.ico", false);
    EXPECT_EQ(target.plain().readFile("C:\\Program Files\\Zarvo\\ico\\pick.ico"), icon);

    ASSERT_TRUE(startWith({QString::fromStdString(drive.string())})) << said.toStdString();
    EXPECT_EQ(target.registryStore, (drive / "ZARVO.REG").string());
    EXPECT_FALSE(fs::exists(base / "from-variable"));
}

// On an image the values wait in C:\ZARVO.REG: the window says what to do
// once, in a box that does not block it, after the page's own message. The
// emulated drive takes them as they are, and is told nothing.
TEST_F(RealTreeTest, TheRegistryStepIsSaidOnceOnARealWindows) {
    ASSERT_FALSE(dosTool("mkfs.fat").isEmpty()) << kNoDosfstools;
    const std::string image = makeImage();
    ASSERT_TRUE(startWith({QString::fromStdString(image)})) << said.toStdString();
    const std::string icon = target.plain().readFile("C:\\Program Files\\Zarvo\\ico\\1.ico");
    write(base / "home/pick.ico", icon);
    storeIcon(base / "home/pick.ico", false);
    ASSERT_EQ(ui->messages().size(), 2u);
    EXPECT_EQ(ui->messages()[0].text, "После выбора всех иконок перезагрузитесь!!!");
    EXPECT_TRUE(ui->messages()[0].modal);
    EXPECT_EQ(ui->messages()[1].text, kRegistryStepText);
    EXPECT_FALSE(ui->messages()[1].modal);
    EXPECT_EQ(ui->messages()[1].parent, form);
    ui->clearMessages();
    storeIcon(base / "home/pick.ico", false);
    ASSERT_EQ(ui->messages().size(), 1u);
    EXPECT_TRUE(ui->messages()[0].modal);
    // "Выход" ends the program at once.
    click("Command4");
    EXPECT_FALSE(form->isVisible());

    ::setenv("ZARVO_DRIVE_C", (base / "drive_c").c_str(), 1);
    ASSERT_TRUE(startWith({})) << said.toStdString();
    EXPECT_FALSE(registryStep);
    storeIcon(base / "home/pick.ico", false);
    ASSERT_EQ(ui->messages().size(), 1u);
    EXPECT_EQ(ui->messages()[0].text, "После выбора всех иконок перезагрузитесь!!!");
}

// The window names its drive in its tooltip; its menu reaches the drives
// opened before (those still there) and starts the program again on one.
// The desktop entry's actions ask for the drive before the window opens.
TEST_F(RealTreeTest, OtherDrivesAreReachedWithoutATerminal) {
    ASSERT_FALSE(dosTool("mkfs.fat").isEmpty()) << kNoDosfstools;
    const QString image = QString::fromStdString(makeImage());
    const QString tree = QString::fromStdString(drive.string());
    auto asked = [&](DriveAsk ask, QWidget*) -> std::optional<std::string> {
        if (ask == DriveAsk::Image) return image.toStdString();
        return std::nullopt;
    };
    ASSERT_TRUE(startWith({"--open-image"}, asked)) << said.toStdString();
    EXPECT_EQ(target.name, image.toStdString());
    EXPECT_TRUE(form->toolTip().startsWith("Диск C: образ диска " + image + "\n"));
    ASSERT_FALSE(startWith({"--open-folder"}, asked));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(said.isEmpty());

    ASSERT_TRUE(startWith({"--drive", tree}));
    EXPECT_TRUE(form->toolTip().startsWith("Диск C: папка с Windows " + tree));
    auto* menu = static_cast<TargetMenu*>(form->findChild<QObject*>("TargetMenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->entries(), QStringList({"Открыть образ диска…", "Открыть папку с Windows…",
                                            tree, image, "Эмулируемый диск"}));
    form->show();
    menu->choose(tree);  // the drive open now
    EXPECT_FALSE(*startAgain);
    menu->choose(image);
    EXPECT_EQ(*startAgain, QStringList({"--image", image}));
    EXPECT_FALSE(form->isVisible());

    fs::remove(image.toStdString());
    ASSERT_TRUE(startWith({"--drive", tree}));
    menu = static_cast<TargetMenu*>(form->findChild<QObject*>("TargetMenu"));
    EXPECT_EQ(menu->entries(), QStringList({"Открыть образ диска…", "Открыть папку с Windows…",
                                            tree, "Эмулируемый диск"}));
}

// Where the window would have opened, a refused drive is named in a message
// box with the reason stderr gives, and nothing is made.
TEST_F(RealTreeTest, ARefusedDriveIsShownInAMessageBox) {
    ASSERT_FALSE(dosTool("mkfs.fat").isEmpty()) << kNoDosfstools;
    const std::string image = makeImage();
    testing::Holder holder(image);
    fs::create_directories(base / "photos");
    const QString photos = QString::fromStdString((base / "photos").string());
    const QString missing = QString::fromStdString((base / "no/drive_c").string());
    const QString heading = QStringLiteral("Не удается открыть диск C:\n\n");
    const std::vector<std::tuple<QStringList, QString, QString>> refusals = {
        {{photos},
         photos + ": a folder holding no installed Windows (WIN.COM, SYSTEM.DAT and USER.DAT in "
                  "its Windows folder) and no Wine prefix's drive_c",
         heading},
        {{QString::fromStdString(image)}, QString::fromStdString(holder.said(image)), heading},
        {{"--drive", missing},
         "Путь не найден. Папка диска C: из --drive: " + missing,
         "Ошибка выполнения '76':\n\n"}};
    for (const auto& [arguments, line, box] : refusals) {
        ASSERT_FALSE(startWith(arguments)) << line.toStdString();
        EXPECT_EQ(said, "zarvo: " + line + "\n");
        ASSERT_EQ(ui->messages().size(), 1u);
        EXPECT_EQ(ui->messages()[0].text, box + line);
        EXPECT_EQ(ui->messages()[0].style, mb::Critical);
    }
    EXPECT_TRUE(fs::is_empty(base / "photos"));
    EXPECT_FALSE(fs::exists(base / "no"));
}

// A Windows tree on a read-only mount opens for looking; a change gets the
// usual report, with the reason the file system gives, 75. Run again inside
// a mount namespace of its own, where the drive is mounted read-only.
TEST_F(RealTreeTest, AReadOnlyMountOpensForBrowsing) {
    if (const char* inside = std::getenv("ZARVO_READ_ONLY_DRIVE")) {
        drive = inside;
        TargetOptions options;
        options.drive = drive.string();
        const DriveSetting setting = driveSetting(options);
        EXPECT_FALSE(setting.problem);
        EXPECT_TRUE(setting.readOnly);
        open();
        EXPECT_TRUE(ui->messages().empty());
        click("Command17");
        ASSERT_EQ(ui->messages().size(), 1u);
        EXPECT_TRUE(ui->messages().back().text.startsWith("Ошибка выполнения '75'"))
            << ui->messages().back().text.toStdString();
        return;
    }
    const QString unshare = QStandardPaths::findExecutable("unshare");
    if (unshare.isEmpty() || QProcess::execute(unshare, {"-m", "true"}) != 0)
        GTEST_SKIP() << "no mount namespace can be made here";
    const std::string listing = readAll(drive / "windows/win.ini");
    QProcess inside;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZARVO_READ_ONLY_DRIVE", QString::fromStdString(drive.string()));
    inside.setProcessEnvironment(environment);
    inside.start(
        unshare,
        {"-m", "sh", "-c",
         "mount --bind \"$1\" \"$1\" && mount -o remount,ro,bind \"$1\" \"$1\" && "
         "exec \"$2\" --gtest_filter=RealTreeTest.AReadOnlyMountOpensForBrowsing",
         "sh", QString::fromStdString(drive.string()), QCoreApplication::applicationFilePath()});
    ASSERT_TRUE(inside.waitForFinished(60000));
    const QString said = inside.readAll();
    EXPECT_EQ(inside.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("[  PASSED  ] 1 test")) << said.toStdString();
    EXPECT_FALSE(fs::exists(drive / "Program Files"));
    EXPECT_EQ(readAll(drive / "windows/win.ini"), listing);
}

// Values stored on a Wine prefix are handed to Wine once, removals as such.
TEST_F(RealTreeTest, AWinePrefixGetsTheValuesChanged) {
    const fs::path prefix = base / "prefix";
    for (const char* name : {"drive_c/windows/win.ini", "system.reg", "user.reg"})
        write(prefix / name, "");
    DriveSetting setting;
    setting.root = (prefix / "drive_c").string();
    target = openTarget(setting);
    ASSERT_TRUE(target.wine);
    EXPECT_EQ(target.registryStore, (prefix / "zarvo.reg").string());
    std::vector<std::vector<std::string>> runs;
    std::string imported;
    target.wine->runner = [&](const std::vector<std::string>& argv,
                              const std::vector<std::string>& environment) {
        runs.push_back(argv);
        imported = readAll(argv.back());
        std::string setting = "WINEPREFIX=";
        setting += prefix.native();
        EXPECT_NE(std::find(environment.begin(), environment.end(), setting), environment.end());
        return 0;
    };
    QString errors;
    QTextStream err(&errors);
    EXPECT_TRUE(reportWineImport(target.wine->importChanges(), err));
    EXPECT_TRUE(runs.empty());  // nothing changed, Wine is not started

    auto registry = target.top().createRegistryWriter();
    registry->storeString(hkey::LocalMachine, kShellIcons, "3", "C:\\a.ico");
    registry->storeString(hkey::LocalMachine, kShellIcons, "4", "Z:\\tmp\\b.ico");
    registry->deleteValue(hkey::LocalMachine, kShellIcons, "4");
    EXPECT_TRUE(reportWineImport(target.wine->importChanges(), err));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(std::vector<std::string>(runs[0].begin() + 1, runs[0].end() - 1),
              (std::vector<std::string>{"reg", "import"}));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(imported.data() + 2),
                                            qsizetype(imported.size() / 2 - 1));
    EXPECT_EQ(text,
              QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                             "explorer\\Shell Icons]\r\n\"3\"=\"C:\\\\a.ico\"\r\n\"4\"=-\r\n\r\n"));
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    EXPECT_TRUE(reportWineImport(target.wine->importChanges(), err));
    EXPECT_EQ(runs.size(), 1u);  // handed over once

    // Without Wine the store stays, and one line says how to import it.
    target.wine->runner = nullptr;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", (base / "no-programs").c_str());
    registry->storeString(hkey::LocalMachine, kShellIcons, "5", "C:\\c.ico");
    EXPECT_FALSE(reportWineImport(target.wine->importChanges(), err));
    qputenv("PATH", path);
    err.flush();
    EXPECT_EQ(errors.count('\n'), 1);
    EXPECT_TRUE(errors.contains("wine regedit " + QString::fromStdString(target.registryStore)))
        << errors.toStdString();
}

}  // namespace
}  // namespace zarvo
