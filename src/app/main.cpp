#include <QApplication>
#include <QTextStream>
#include <cstdio>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    // Read before any application object exists: the commands, --help and
    // --version run without a display, and a mistake on the command line
    // is refused before a drive is made or opened. Qt's own options are
    // known to the reading and left to QApplication.
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
    zarvo::Program program = zarvo::startProgram(commandLine.target, err, zarvo::windowsSeen());
    // The drive was refused, the reason already told; or no drive was chosen.
    if (!program.form) return program.cancelled ? 0 : 1;
    const int status = app.exec();
    zarvo::finishProgram(program, err);
    return status;
}
