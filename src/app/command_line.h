#pragma once

// What the command line asks for. Without options the program opens its
// window; the commands run without a display, so they can be used on a
// server, in scripts and over ssh.

#include <QString>
#include <QStringList>

#include "app/target.h"
#include "ui/screen_maker.h"

class QTextStream;

namespace zarvo {

enum class Command { Window, Help, Version, MakeScreen, Check, Restore };

struct CommandLine {
    Command command = Command::Window;
    // The file names, in the order given, wherever the options stood.
    QStringList files;
    ScreenOptions screen;
    // The drive the window and --restore work on: --image, --partition, --drive.
    TargetOptions target;
    // A usage error, one line; the command is not run.
    QString error;
    QString helpText;
};

// The arguments as QCoreApplication would give them, before one exists.
QStringList commandLineArguments(int argc, char** argv);

// Reads `arguments` (the program's name first) without a QCoreApplication.
// The window ignores options it does not know: QApplication takes its own
// (-style, -platform) from the same arguments.
CommandLine parseCommandLine(const QStringList& arguments);

// Runs a command other than Window and returns the exit status: 0 when it
// did what was asked, 1 when a file was bad or could not be made or an
// original could not be restored, 2 for a usage error. Results go to `out`, errors to `err`, one
// line each.
int runCommand(const CommandLine& commandLine, QTextStream& out, QTextStream& err);

}  // namespace zarvo
