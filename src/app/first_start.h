#pragma once

namespace zarvo {

class ISystem;

// What a start installs from the program's built-in files.
enum class Install {
    // A drive the program has just made: what a Windows 98 drive holds
    // (C:\Windows with WIN.INI and the shut-down screens, C:\Msdos.sys, the
    // icon cache) and the program folder.
    NewDrive,
    // Any other drive, a real Windows tree among them: the program folder
    // C:\Program Files\Zarvo\ only. Windows' own files are never invented
    // there, nor brought back after a user or a restart removed them.
    ProgramFolder,
};

// Installs what is missing, never over a file that is already there.
void installDrive(ISystem& system, Install what = Install::NewDrive);

}  // namespace zarvo
