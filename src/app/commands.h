#pragma once

// Running what the command line asks for, other than the window: --help,
// --version, --make-screen, --make-icon, --check and --restore. They run
// without a display, so they can be used on a server, in scripts and over
// ssh.

#include "app/command_line.h"

class QTextStream;

namespace zarvo {

// Runs a command other than Window and returns the exit status: 0 when it
// did what was asked, 1 when a file was bad or could not be made or an
// original could not be restored, 2 for a usage error. Results go to `out`,
// errors to `err`, one line each.
int runCommand(const CommandLine& commandLine, QTextStream& out, QTextStream& err);

}  // namespace zarvo
