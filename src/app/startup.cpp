#include "app/startup.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "app/first_start.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/registry_step.h"
#include "app/reports.h"
#include "app/target_menu.h"
#include "changes/leftovers.h"
#include "system/image/image_error.h"
#include "system/linux/linux_system.h"
#include "system/linux/wine_prefix.h"
#include "ui/qt_ui_services.h"
#include "widgets/controls.h"
#include "widgets/error_dispatch.h"
#include "widgets/windows98_style.h"

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

bool windowsSeen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
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

Program startProgram(const TargetOptions& targetOptions, QTextStream& err, bool refusalBox,
                     const UiFactory& makeUi, const DriveAsker& ask) {
    installQtTranslation();
    QApplication::setStyle(new Windows98Style);
    // Windows 98 draws its message boxes and dialogs in MS Sans Serif 8 too.
    // It is also the font every text line is first laid out in before its
    // own is set: Qt's default, a family no font is called, would send the
    // matcher through every installed font at each start.
    QApplication::setFont(msSansSerif(8.25));
    QApplication::setApplicationName(QStringLiteral("Zarvo"));
    // Lets the desktop match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.zarvo.Zarvo"));

    auto servicesOver = [&makeUi](ISystem& system) -> std::unique_ptr<QtUiServices> {
        if (makeUi) return makeUi(system);
        return std::make_unique<QtUiServices>(system);
    };
    Program program;
    // The line goes out before the box, which waits for the user; a start
    // from a file manager has no terminal, and the box is all it shows.
    auto refuse = [&](const QString& line, const QString& report) {
        err << "zarvo: " << line << '\n';
        err.flush();
        program.refusedDrive = std::make_unique<LinuxSystem>();
        program.ui = servicesOver(*program.refusedDrive);
        if (refusalBox) program.ui->messageBox(report, mb::Critical);
        return std::move(program);
    };
    // The user's words for what the image layer and the file check refuse
    // are those of the command line, under a heading of the window's own.
    auto refuseDrive = [&](const QString& line) {
        return refuse(line, QStringLiteral("Не удается открыть диск C:\n\n") + line);
    };

    TargetOptions chosen = targetOptions;
    if (chosen.ask != DriveAsk::None) {
        const std::optional<std::string> file = (ask ? ask : askForDrive)(chosen.ask, nullptr);
        if (!file) {
            program.cancelled = true;
            return program;
        }
        chosen.file = *file;
        chosen.ask = DriveAsk::None;
    }
    if (const auto refusal = placeFile(chosen))
        return refuseDrive(QString::fromStdString(*refusal));
    const DriveSetting drive = driveSetting(chosen);
    // Nothing is opened on a drive setting that is bad.
    if (drive.problem)
        return refuse(QString::fromStdString(drive.problem->description()),
                      errorReportText(*drive.problem));
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
    try {
        program.target = openTarget(drive, restart, openHelp);
    } catch (const ImageError& error) {
        return refuseDrive(imageRefusalLine(error));
    } catch (const DriveInUse& inUse) {
        return refuseDrive(inUseLine(inUse));
    }
    ISystem* windowSystem = &program.target.top();
    if (program.target.intoDrive) {
        program.registryStep = std::make_unique<RegistryStepWatch>(*windowSystem);
        windowSystem = program.registryStep.get();
    }
    program.ui = servicesOver(*windowSystem);
    *helpUi = program.ui.get();
    if (!prepareDrive(drive, program.target.plain(), *program.ui)) return program;

    program.form = new Form1(*windowSystem, *program.ui);
    if (program.registryStep) program.form->sayRegistryStep(*program.registryStep);
    rememberDrive(chosen);
    program.startAgain = std::make_shared<std::optional<QStringList>>();
    new TargetMenu(*program.form, *program.ui, chosen, driveDescription(drive, program.target),
                   [startAgain = program.startAgain, form = program.form](const QStringList& args) {
                       *startAgain = args;
                       form->close();
                   });
    program.form->setAttribute(Qt::WA_DeleteOnClose);
    program.form->show();
    return program;
}

Program startProgram(const TargetOptions& target) {
    QTextStream err(stderr);
    return startProgram(target, err);
}

void finishProgram(Program& program, QTextStream& err) {
    if (program.target.wine) reportWineImport(program.target.wine->importChanges(), err);
    const auto startAgain = program.startAgain;
    // The window goes before the drive it stands on, and the drive before
    // the next run opens it: an image is held while it is open.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    program = Program();
    if (startAgain && *startAgain &&
        !QProcess::startDetached(QCoreApplication::applicationFilePath(), **startAgain))
        err << "zarvo: could not start " << QCoreApplication::applicationFilePath() << " again\n";
}

}  // namespace zarvo
