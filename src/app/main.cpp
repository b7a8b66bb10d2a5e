#include <QApplication>
#include <QTextStream>
#include <cstdio>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/reports.h"
#include "app/startup.h"
#include "system/error.h"
#include "system/image/image_error.h"

int main(int argc, char** argv) {
    // Read before any application object exists: the commands, --help and
    // --version run without a display.
    const zarvo::CommandLine commandLine =
        zarvo::parseCommandLine(zarvo::commandLineArguments(argc, argv));
    if (commandLine.command != zarvo::Command::Window) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return zarvo::runCommand(commandLine, out, err);
    }

    if (!zarvo::displayAvailable()) {
        std::fprintf(stderr,
                     "zarvo: no display (DISPLAY is not set); run it under Xvfb: "
                     "xvfb-run -a %s\n",
                     argc > 0 ? argv[0] : "zarvo");
        return 1;
    }
    QApplication app(argc, argv);
    QTextStream err(stderr);
    zarvo::Program program;
    try {
        program = zarvo::startProgram(commandLine.target);
    } catch (const zarvo::ImageError& error) {
        err << "zarvo: " << zarvo::imageRefusalLine(error) << '\n';
        return 1;
    } catch (const zarvo::DriveInUse& inUse) {
        err << "zarvo: " << zarvo::inUseLine(inUse) << '\n';
        return 1;
    }
    // The start was given up, its report already shown: a bad drive setting.
    if (!program.form) return 1;
    const int status = app.exec();
    zarvo::finishProgram(program, err);
    return status;
}
