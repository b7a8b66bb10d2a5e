#include "app/startup.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "app/first_start.h"
#include "app/form1.h"
#include "app/help_window.h"
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

}  // namespace

Program startProgram() {
    installQtTranslation();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    QApplication::setApplicationName(QStringLiteral("Zarvo"));
    // Lets the desktop match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.zarvo.Zarvo"));

    Program program;
    LinuxSystem::Options options;
    options.driveRoot = LinuxSystem::defaultDriveRoot();
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
    program.ui = std::make_unique<QtUiServices>(*program.system);
    *helpUi = program.ui.get();
    runHandler(*program.ui, [&] { installDrive(*program.system); });

    program.form = new Form1(*program.system, *program.ui);
    program.form->setAttribute(Qt::WA_DeleteOnClose);
    program.form->show();
    return program;
}

}  // namespace zarvo
