#include "app/startup.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "app/first_start.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/reports.h"
#include "changes/leftovers.h"
#include "system/linux/linux_system.h"
#include "system/linux/wine_prefix.h"
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

}  // namespace

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
    program.ui = std::make_unique<QtUiServices>(program.target.top());
    *helpUi = program.ui.get();
    if (!prepareDrive(drive, program.target.plain(), *program.ui)) return program;

    program.form = new Form1(program.target.top(), *program.ui);
    program.form->setAttribute(Qt::WA_DeleteOnClose);
    program.form->show();
    return program;
}

void finishProgram(Program& program, QTextStream& err) {
    if (program.target.wine) reportWineImport(program.target.wine->importChanges(), err);
}

}  // namespace zarvo
