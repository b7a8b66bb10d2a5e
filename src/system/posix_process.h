#pragma once

// What the implementations on a POSIX host (the emulated drive and the disk
// image) share about the processes of this machine.

#include <string>

namespace zarvo::posix {

// This process, named so that neither a later process with the same number
// nor one after a reboot is taken for it: the boot, the process number and
// the time the process started.
std::string sessionId();
// Whether the process `id` names is still running.
bool sessionRunning(const std::string& id);

}  // namespace zarvo::posix
