#pragma once

namespace zarvo {

class ISystem;

// Installs what a Windows 98 drive and the program folder hold, from the
// program's built-in files: only what is missing, never over a file that is
// already there.
void installDrive(ISystem& system);

}  // namespace zarvo
