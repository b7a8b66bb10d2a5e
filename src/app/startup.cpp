#include "app/startup.h"

#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/first_start.h"
#include "app/form1.h"
#include "app/help_window.h"
#include "system/image/image_system.h"
#include "system/into_drive.h"
#include "system/keeping_originals.h"
#include "system/leftovers.h"
#include "system/linux/linux_system.h"
#include "ui/qt_ui_services.h"
#include "widgets/error_dispatch.h"

namespace zarvo {

Program::Program() = default;
Program::Program(Program&&) noexcept = default;
Program& Program::operator=(Program&&) noexcept = default;
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

// 0 when the program may make files in the folder, else the errno.
int writeRefusal(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace

DriveSetting driveSetting(const TargetOptions& target) {
    namespace fs = std::filesystem;
    DriveSetting drive;
    if (!target.image.empty()) {
        drive.image = target.image;
        drive.partition = target.partition;
        return drive;
    }
    const bool byOption = !target.drive.empty();
    drive.root = byOption ? target.drive : LinuxSystem::defaultDriveRoot();
    const char* variable = std::getenv("ZARVO_DRIVE_C");
    const bool named = byOption || (variable && *variable);
    auto refuse = [&](int number) {
        if (!named) return;
        std::string text = errorDescription(number);
        text += byOption ? ". Папка диска C: из --drive: " : ". Папка диска C: из ZARVO_DRIVE_C: ";
        text += drive.root;
        drive.problem = Error(number, text);
    };

    std::error_code ec;
    fs::path root = fs::absolute(drive.root, ec).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    const fs::file_status status = fs::status(root, ec);
    if (fs::is_directory(status)) {
        drive.isNew = fs::is_empty(root, ec) && !ec;
        // A read-only mount harms nothing by being looked at: its pictures,
        // icons, wallpaper and help still show.
        if (const int refusal = writeRefusal(root); refusal == EROFS)
            drive.readOnly = true;
        else if (refusal != 0)
            refuse(err::PermissionDenied);
    } else if (status.type() == fs::file_type::not_found) {
        // A folder that is not there yet is made, but only inside one that is.
        drive.isNew = true;
        const fs::path parent = root.parent_path();
        const int refusal = fs::is_directory(parent, ec) ? writeRefusal(parent) : ENOENT;
        if (refusal == ENOENT)
            refuse(err::PathNotFound);
        else if (refusal == EROFS)
            refuse(err::PathFileAccessError);
        else if (refusal != 0)
            refuse(err::PermissionDenied);
    } else {
        refuse(status.type() == fs::file_type::none ? err::PermissionDenied : err::PathNotFound);
    }
    return drive;
}

TargetSystem::TargetSystem() = default;
TargetSystem::TargetSystem(TargetSystem&&) noexcept = default;
TargetSystem& TargetSystem::operator=(TargetSystem&&) noexcept = default;
TargetSystem::~TargetSystem() = default;

ISystem& TargetSystem::plain() const {
    if (wine) return *wine;
    return *base;
}

ISystem& TargetSystem::top() const {
    if (intoDrive) return *intoDrive;
    return plain();
}

TargetSystem openTarget(const DriveSetting& drive, std::function<bool()> restart,
                        std::function<void(const std::string&, int)> openHelp) {
    TargetSystem target;
    bool realTree = false;
    if (!drive.image.empty()) {
        ImageOptions options;
        options.imagePath = drive.image;
        options.partition = drive.partition;
        options.restart = std::move(restart);
        options.openHelp = std::move(openHelp);
        target.base = openImageSystem(options);
        target.name = drive.image;
        realTree = true;
    } else {
        LinuxSystem::Options options;
        options.driveRoot = drive.root;
        options.registryStorePath = registryStoreFor(drive.root);
        options.restart = std::move(restart);
        options.openHelp = std::move(openHelp);
        target.registryStore = options.registryStorePath;
        auto system = std::make_unique<LinuxSystem>(options);
        target.name = system->driveRoot();
        target.base = std::move(system);
        realTree = isRealWindowsTree(drive.root);
        const std::string prefix = winePrefixOf(drive.root);
        if (!prefix.empty())
            target.wine = std::make_unique<WinePrefix>(*target.base, prefix, target.registryStore);
    }
    if (realTree) target.intoDrive = std::make_unique<IntoDrive>(target.plain());
    return target;
}

bool prepareDrive(const DriveSetting& drive, ISystem& system, IUiServices& ui) {
    if (drive.problem) {
        reportUncaughtError(ui, *drive.problem);
        return false;
    }
    if (drive.readOnly) return true;
    // Straight to the system: what a first start installs is no change of
    // the user's to keep an original of.
    runHandler(ui, [&] {
        clearLeftovers(system);
        installDrive(system, drive.isNew ? Install::NewDrive : Install::ProgramFolder);
    });
    return true;
}

Program startProgram(const TargetOptions& targetOptions) {
    installQtTranslation();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    QApplication::setApplicationName(QStringLiteral("Zarvo"));
    // Lets the desktop match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.zarvo.Zarvo"));

    Program program;
    const DriveSetting drive = driveSetting(targetOptions);
    // A restart closes every program of the emulated Windows, this one too.
    auto restart = [] {
        QTimer::singleShot(0, qApp, [] {
            QApplication::closeAllWindows();
            QApplication::quit();
        });
        return true;
    };
    // Windows help files open in the program's own help window, which
    // reports a damaged file through the services made after the system.
    auto helpUi = std::make_shared<IUiServices*>(nullptr);
    auto openHelp = [helpUi](const std::string& hostPath, int show) {
        if (*helpUi)
            HelpWindow::open(**helpUi, QFile::decodeName(QByteArray::fromStdString(hostPath)),
                             show);
    };
    if (drive.problem) {
        // Only the report: nothing is opened on a drive setting that is bad.
        LinuxSystem system;
        QtUiServices ui(system);
        prepareDrive(drive, system, ui);
        return program;
    }
    program.target = openTarget(drive, restart, openHelp);
    program.keeping = std::make_unique<KeepingOriginals>(program.target.top());
    program.ui = std::make_unique<QtUiServices>(*program.keeping);
    *helpUi = program.ui.get();
    if (!prepareDrive(drive, program.target.plain(), *program.ui)) return program;

    program.form = new Form1(*program.keeping, *program.ui);
    program.form->setAttribute(Qt::WA_DeleteOnClose);
    program.form->show();
    return program;
}

void finishProgram(Program& program, QTextStream& err) {
    if (program.target.wine) program.target.wine->importChanges(err);
}

}  // namespace zarvo
