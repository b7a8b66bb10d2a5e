#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/target.h"
#include "system/error.h"

namespace zarvo {

class Form1;
class ISystem;
class IntoDrive;
class IUiServices;
class KeepingOriginals;
class QtUiServices;

// The drive the program works on, as the command line and the environment
// name it.
struct DriveSetting {
    std::string root;  // the host folder that is drive C:; empty for an image
    // The folder is missing or empty: the program makes a new drive there.
    bool isNew = false;
    // The folder is on a read-only file system: it can be looked at, and
    // every change fails with 75.
    bool readOnly = false;
    // The drive folder names no folder the program can use: a missing parent
    // folder, a file, a folder it may not write to. The error's text names
    // the option or variable and the path.
    std::optional<Error> problem;
    std::string image;  // the disk image or block device holding drive C:
    int partition = 0;
};

DriveSetting driveSetting(const TargetOptions& target = {});

// The system layers over a drive, from the bottom up: the drive's own
// system, then what the kind of drive needs.
struct TargetSystem {
    std::unique_ptr<ISystem> base;         // the folder's or the image's
    std::unique_ptr<WinePrefix> wine;      // a Wine prefix: its values go to its registry
    std::unique_ptr<IntoDrive> intoDrive;  // a real Windows tree: chosen files go into it
    std::string registryStore;             // the host path, "" inside an image

    TargetSystem();
    TargetSystem(TargetSystem&&) noexcept;
    TargetSystem& operator=(TargetSystem&&) noexcept;
    ~TargetSystem();

    // Everything but the copying into the drive: for the first start and
    // for putting originals back, which name what was there before.
    ISystem& plain() const;
    // What the window works through.
    ISystem& top() const;
    // The drive folder or the image, for messages.
    std::string name;
};

// Opens the drive's system layers. Throws ImageError when the image cannot
// be used; nothing has been written then.
TargetSystem openTarget(const DriveSetting& drive, std::function<bool()> restart = {},
                        std::function<void(const std::string&, int)> openHelp = {});

// Everything a running program holds: the system layer, the layer that
// keeps the originals of what the program changes, the user-interface
// services and the main window.
struct Program {
    TargetSystem target;
    std::unique_ptr<KeepingOriginals> keeping;  // over `target`; what the window uses
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

// Starts the program as main() does, on the running QApplication: the drive
// is installed where missing, and the main window is loaded and shown. With
// a bad drive setting only the report is shown, and the program has no window.
// Throws ImageError, before anything is shown or written, for an image that
// cannot be used.
Program startProgram(const TargetOptions& target = {});

// What is left to do as the program ends: a Wine prefix's registry is given
// the values stored. Messages go to `err`.
void finishProgram(Program& program, QTextStream& err);

// Whether a display can be reached; without one, Qt would abort.
bool displayAvailable();

}  // namespace zarvo
