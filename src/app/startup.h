#pragma once

// Starting the window: the drive put together (target.h), installed where
// it lacks the program folder, cleared of what an ended run left, and the
// main window shown; and what is left to do as the program ends.

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/target.h"
#include "app/target_menu.h"

class QTextStream;

namespace zarvo {

class Form1;
class ISystem;
class IUiServices;
class QtUiServices;
class RegistryStepWatch;

// Makes the user-interface services over a system: QtUiServices in the
// program, scripted ones in tests.
using UiFactory = std::function<std::unique_ptr<QtUiServices>(ISystem&)>;

// Everything a running program holds: the drive, the user-interface
// services and the main window.
struct Program {
    // What the services stand on when the drive was refused and none was
    // opened: they only told why.
    std::unique_ptr<ISystem> refusedDrive;
    Target target;
    // On a real Windows: what the window works through, to say where the
    // values it stores go.
    std::unique_ptr<RegistryStepWatch> registryStep;
    std::unique_ptr<QtUiServices> ui;
    Form1* form = nullptr;  // deletes itself when closed; null when the start was given up
    // The user cancelled the dialog that asks for the drive: no window, no fault.
    bool cancelled = false;
    // Set when the user chose another drive in the window: the arguments the
    // program starts again with once this run has let its drive go.
    std::shared_ptr<std::optional<QStringList>> startAgain;

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

// Starts the program as main() does, on the running QApplication, with the
// services `makeUi` makes (QtUiServices when empty). When the target asks
// for the drive, `ask` shows the dialog first. A drive that cannot be
// used is refused before anything is written: a file given alone that is
// no image and no Windows folder, a bad drive folder, an image that cannot
// be used or that another program has open. The reason goes to `err` as
// one line and, unless `refusalBox` is false, to a message box; the
// program then has no window.
Program startProgram(const TargetOptions& target, QTextStream& err, bool refusalBox = true,
                     const UiFactory& makeUi = {}, const DriveAsker& ask = {});
// The same, refusals on stderr and in a box.
Program startProgram(const TargetOptions& target = {});

// What is left to do as the program ends: a Wine prefix's registry is given
// the values stored, what went wrong to `err`, one line; the drive is let
// go, and the program started again on the drive chosen in the window.
void finishProgram(Program& program, QTextStream& err);

// Whether a display can be reached; without one, Qt would abort.
bool displayAvailable();

// Whether the running QApplication shows its windows to anyone: not on the
// offscreen and minimal platforms, where a message box would wait for a
// click that never comes.
bool windowsSeen();

}  // namespace zarvo
