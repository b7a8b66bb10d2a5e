#pragma once

// Starting the window: the drive put together (target.h), installed where
// it lacks the program folder, cleared of what an ended run left, and the
// main window shown; and what is left to do as the program ends.

#include <memory>
#include <string>

#include "app/target.h"

class QTextStream;

namespace zarvo {

class Form1;
class ISystem;
class IUiServices;
class QtUiServices;

// Everything a running program holds: the drive, the user-interface
// services and the main window.
struct Program {
    Target target;
    std::unique_ptr<QtUiServices> ui;
    Form1* form = nullptr;  // deletes itself when closed; null when the start was given up

    Program();
    Program(Program&&) noexcept;
    Program& operator=(Program&&) noexcept;
    ~Program();
};

// Installs what the drive lacks, as its setting says, and clears up what an
// ended run left there; or shows the report of a bad drive setting, writing
// nothing. A read-only drive is left as it is. False when the program cannot
// go on.
bool prepareDrive(const DriveSetting& drive, ISystem& system, IUiServices& ui);

// Starts the program as main() does, on the running QApplication. With a
// bad drive setting only the report is shown, and the program has no window.
// Throws ImageError, before anything is shown or written, for an image that
// cannot be used, and DriveInUse for one another program has open.
Program startProgram(const TargetOptions& target = {});

// What is left to do as the program ends: a Wine prefix's registry is given
// the values stored. What went wrong goes to `err`, one line.
void finishProgram(Program& program, QTextStream& err);

// Whether a display can be reached; without one, Qt would abort.
bool displayAvailable();

}  // namespace zarvo
