#include "app/startup.h"

#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/first_start.h"
#include "app/form1.h"
#include "app/help_window.h"
#include "system/keeping_originals.h"
#include "system/linux/linux_system.h"
#include "ui/qt_ui_services.h"
#include "widgets/error_dispatch.h"

namespace zarvo {

Program::Program() = default;
Program::Program(Program&&) noexcept = default;
Program::~Program() = default;

bool displayAvailable() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

namespace {

// Qt's own dialogs (the open-file dialog, message box buttons) speak Russian
// like the rest of the program when Qt's translations are installed.
void installQtTranslation() {
    static QTranslator translator;
    if (translator.isEmpty() && translator.load(QStringLiteral("qtbase_ru"),
                                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}

bool writable(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

DriveSetting driveSetting() {
    namespace fs = std::filesystem;
    DriveSetting drive;
    drive.root = LinuxSystem::defaultDriveRoot();
    const char* variable = std::getenv("ZARVO_DRIVE_C");
    const bool named = variable && *variable;
    auto refuse = [&](int number) {
        if (named)
            drive.problem = Error(number, errorDescription(number) +
                                              ". Папка диска C: из ZARVO_DRIVE_C: " + drive.root);
    };

    std::error_code ec;
    fs::path root = fs::absolute(drive.root, ec).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    const fs::file_status status = fs::status(root, ec);
    if (fs::is_directory(status)) {
        drive.isNew = fs::is_empty(root, ec) && !ec;
        if (!writable(root)) refuse(err::PermissionDenied);
    } else if (status.type() == fs::file_type::not_found) {
        // A folder that is not there yet is made, but only inside one that is.
        drive.isNew = true;
        const fs::path parent = root.parent_path();
        if (!fs::is_directory(parent, ec))
            refuse(err::PathNotFound);
        else if (!writable(parent))
            refuse(err::PermissionDenied);
    } else {
        refuse(status.type() == fs::file_type::none ? err::PermissionDenied : err::PathNotFound);
    }
    return drive;
}

bool prepareDrive(const DriveSetting& drive, ISystem& system, IUiServices& ui) {
    if (drive.problem) {
        reportUncaughtError(ui, *drive.problem);
        return false;
    }
    // Straight to the system: what a first start installs is no change of
    // the user's to keep an original of.
    runHandler(ui, [&] {
        installDrive(system, drive.isNew ? Install::NewDrive : Install::ProgramFolder);
    });
    return true;
}

Program startProgram() {
    installQtTranslation();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    QApplication::setApplicationName(QStringLiteral("Zarvo"));
    // Lets the desktop match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.zarvo.Zarvo"));

    Program program;
    LinuxSystem::Options options;
    const DriveSetting drive = driveSetting();
    options.driveRoot = drive.root;
    options.registryStorePath = LinuxSystem::defaultRegistryStore(options.driveRoot);
    // A restart closes every program of the emulated Windows, this one too.
    options.restart = [] {
        QTimer::singleShot(0, qApp, [] {
            QApplication::closeAllWindows();
            QApplication::quit();
        });
        return true;
    };
    // Windows help files open in the program's own help window, which
    // reports a damaged file through the services made after the system.
    auto helpUi = std::make_shared<IUiServices*>(nullptr);
    options.openHelp = [helpUi](const std::string& hostPath, int show) {
        if (*helpUi)
            HelpWindow::open(**helpUi, QFile::decodeName(QByteArray::fromStdString(hostPath)),
                             show);
    };
    program.system = std::make_unique<LinuxSystem>(options);
    program.keeping = std::make_unique<KeepingOriginals>(*program.system);
    program.ui = std::make_unique<QtUiServices>(*program.keeping);
    *helpUi = program.ui.get();
    if (!prepareDrive(drive, *program.system, *program.ui)) return program;

    program.form = new Form1(*program.keeping, *program.ui);
    program.form->setAttribute(Qt::WA_DeleteOnClose);
    program.form->show();
    return program;
}

}  // namespace zarvo
