#pragma once

// The one place the program's drive is put together, for the window and
// for --restore alike: which drive the command line and the environment
// name, the system for it (the emulated drive, a folder holding a real
// Windows tree, a Wine prefix's drive_c, or a FAT file system inside a disk
// image or on a block device), and the layers in front of that system.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "system/error.h"
#include "system/system.h"

namespace zarvo {

class IntoDrive;
class KeepingOriginals;
class WinePrefix;

// What the desktop entry's actions ask for in a dialog before the window opens.
enum class DriveAsk { None, Image, Folder };

// What the command line chose; empty fields leave the choice to ZARVO_DRIVE_C.
struct TargetOptions {
    std::string image;  // --image FILE
    int partition = 0;  // --partition N, 0 for the first FAT partition
    std::string drive;  // --drive DIR
    // FILE given alone, as a file manager's "Open with" gives it: an image or
    // a folder, which placeFile tells apart before the drive is chosen.
    std::string file;
    // --open-image, --open-folder: the user picks FILE in a dialog first.
    DriveAsk ask = DriveAsk::None;
};

// Puts `target.file` where its content says it belongs: a disk image or a
// block device into `image`, as --image takes it, a folder holding an
// installed Windows or a Wine prefix's drive_c into `drive`, as --drive
// does. Anything else is refused: the line says why, naming the file
// ("notes.txt: not a disk image, a block device or a folder holding
// Windows"), and nothing has been opened.
std::optional<std::string> placeFile(TargetOptions& target);

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

// A folder whose Windows folder holds an installed Windows: WIN.COM,
// SYSTEM.DAT and USER.DAT, names compared ignoring case.
bool isRealWindowsTree(const std::string& driveRoot);
// Where the registry store lives for a drive folder: C:\ZARVO.REG inside a
// real Windows tree (in whatever case it is already spelled), zarvo.reg
// beside any other drive (`realTree`: what isRealWindowsTree says of it).
std::string registryStoreFor(const std::string& driveRoot, bool realTree);

// The system over a drive, from the bottom up: the drive's own system, then
// what the kind of drive needs, then the keeping of originals.
struct Target {
    std::unique_ptr<ISystem> base;         // the folder's or the image's
    std::unique_ptr<WinePrefix> wine;      // a Wine prefix: its values go to its registry
    std::unique_ptr<IntoDrive> intoDrive;  // a real Windows tree: chosen files go into it
    std::unique_ptr<KeepingOriginals> keeping;
    std::string registryStore;  // the host path, "" inside an image
    std::string name;           // the drive folder or the image, for messages

    Target();
    Target(Target&&) noexcept;
    Target& operator=(Target&&) noexcept;
    ~Target();

    // Everything but the copying into the drive and the keeping of
    // originals: for the first start and for putting originals back, which
    // name what was there before.
    ISystem& plain() const;
    // What the window works through.
    ISystem& top() const;
};

// Opens the drive's system and its layers. Throws ImageError when the image
// cannot be used, and DriveInUse when another program has it open; nothing
// has been written then.
Target openTarget(const DriveSetting& drive, std::function<bool()> restart = {},
                  std::function<void(const std::string&, int)> openHelp = {});

}  // namespace zarvo
