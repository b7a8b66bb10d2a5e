#pragma once

#include <memory>
#include <optional>
#include <string>

#include "system/error.h"

namespace zarvo {

class Form1;
class ISystem;
class IUiServices;
class KeepingOriginals;
class LinuxSystem;
class QtUiServices;

// Everything a running program holds: the system layer, the layer that
// keeps the originals of what the program changes, the user-interface
// services and the main window.
struct Program {
    std::unique_ptr<LinuxSystem> system;
    std::unique_ptr<KeepingOriginals> keeping;  // over `system`; what the window uses
    std::unique_ptr<QtUiServices> ui;
    Form1* form = nullptr;  // deletes itself when closed; null when the start was given up

    Program();
    Program(Program&&) noexcept;
    ~Program();
};

// The drive the program works on, as the environment names it.
struct DriveSetting {
    std::string root;  // the host folder that is drive C:
    // The folder is missing or empty: the program makes a new drive there.
    bool isNew = false;
    // ZARVO_DRIVE_C names no folder the program can use: a missing parent
    // folder, a file, a folder it may not write to. The error's text names
    // the variable and the path.
    std::optional<Error> problem;
};

DriveSetting driveSetting();

// Installs what the drive lacks, as its setting says, or shows the report
// of a bad drive setting, writing nothing. False when the program cannot go on.
bool prepareDrive(const DriveSetting& drive, ISystem& system, IUiServices& ui);

// Starts the program as main() does, on the running QApplication: the drive
// is installed where missing, and the main window is loaded and shown. With
// a bad drive setting only the report is shown, and the program has no window.
Program startProgram();

// Whether a display can be reached; without one, Qt would abort.
bool displayAvailable();

}  // namespace zarvo
