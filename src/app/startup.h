#pragma once

#include <memory>

namespace zarvo {

class Form1;
class LinuxSystem;
class QtUiServices;

// Everything a running program holds: the system layer, the user-interface
// services and the main window.
struct Program {
    std::unique_ptr<LinuxSystem> system;
    std::unique_ptr<QtUiServices> ui;
    Form1* form = nullptr;  // deletes itself when closed

    Program();
    Program(Program&&) noexcept;
    ~Program();
};

// Starts the program as main() does, on the running QApplication: the drive
// is installed where missing, and the main window is loaded and shown.
Program startProgram();

// Whether a display can be reached; without one, Qt would abort.
bool displayAvailable();

}  // namespace zarvo
