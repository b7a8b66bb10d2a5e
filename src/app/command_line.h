#pragma once

// Reading what the command line asks for; commands.h runs it. Without
// options the program opens its window, on the drive FILE names when one
// is given.

#include <QString>
#include <QStringList>

#include "app/target.h"
#include "pictures/icon_maker.h"
#include "pictures/screen_maker.h"

namespace zarvo {

enum class Command { Window, Help, Version, MakeScreen, MakeIcon, Check, Restore };

struct CommandLine {
    Command command = Command::Window;
    // The file names, in the order given, wherever the options stood.
    QStringList files;
    ScreenOptions screen;
    IconOptions icon;
    // The drive the window and --restore work on: --image, --partition,
    // --drive, or FILE for the window.
    TargetOptions target;
    // A usage error, one line; the command is not run.
    QString error;
    QString helpText;
};

// The arguments as QCoreApplication would give them, before one exists.
QStringList commandLineArguments(int argc, char** argv);

// Reads `arguments` (the program's name first) without a QCoreApplication.
// An option it does not know is a usage error, for the window too; Qt's own
// (-style, -platform...) it knows and leaves to QApplication, which takes
// them from the same arguments.
CommandLine parseCommandLine(const QStringList& arguments);

}  // namespace zarvo
