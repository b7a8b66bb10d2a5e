#pragma once

// What the implementations on a POSIX host (the emulated drive, the disk
// image, the Wine prefix) share about processes: this run's name, and the
// two ways programs are started, one waited for and one left running.

#include <string>
#include <vector>

namespace zarvo::posix {

// This process, named so that neither a later process with the same number
// nor one after a reboot is taken for it: the boot, the process number and
// the time the process started.
std::string sessionId();
// Whether the process `id` names is still running.
bool sessionRunning(const std::string& id);

// True when `program` is found on $PATH.
bool onPath(const std::string& program);

// What a program that was waited for did.
struct Ran {
    int status = -1;  // its exit status; -1 when it did not run or was killed
    std::string out;
    std::string err;
};

// The environment a program is started with: this process's own, without
// the variables named in `unset` (a name ending in '_' takes every variable
// it starts) and with `set` ("NAME=value") added.
struct Environment {
    std::vector<std::string> unset;
    std::vector<std::string> set;
};

// Runs argv (searched on $PATH, never through a shell) with an empty
// standard input and waits for it, its output kept. After `timeoutSeconds`
// (0: none) it is killed.
Ran runAndWait(const std::vector<std::string>& argv, const Environment& environment = {},
               int timeoutSeconds = 0);

// Starts argv in a session of its own, its standard streams on /dev/null
// and its signals as a fresh program has them, and does not wait for it: a
// viewer outlives the program, and a Ctrl+C in its terminal does not reach
// the viewer. A program that is not installed is silently skipped.
void spawnDetached(const std::vector<std::string>& argv);

}  // namespace zarvo::posix
