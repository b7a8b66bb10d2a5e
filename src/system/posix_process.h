#pragma once

// What the implementations on a POSIX host (the emulated drive, the disk
// image, the Wine prefix) share about processes: this run's name, where its
// private files go, and the two ways programs are started, one waited for
// and one left running.

#include <string>
#include <string_view>
#include <vector>

namespace zarvo::posix {

// This process, named so that neither a later process with the same number
// nor one after a reboot is taken for it: the boot, the process number and
// the time the process started.
std::string sessionId();
// The same name for another process; "" when it is not there or has ended.
std::string sessionIdOf(long pid);
// Whether the process `id` names is still running.
bool sessionRunning(const std::string& id);

// A file's whole content ("" when it cannot be read): for the small files
// of /proc and of a run's private folder.
std::string fileText(const std::string& path);

// The folder a run keeps its private files in: $TMPDIR when it is an
// absolute path, else /tmp.
std::string temporaryRoot();

// This user's folders in temporaryRoot() whose names start with `prefix`.
std::vector<std::string> ownFolders(std::string_view prefix);
// Whether `folder` is what a run that has ended left behind: none of its
// `records` (files in it, each a sessionId()) names a process that still
// runs. A folder with none of them yet is a run's that is only starting,
// for a minute.
bool leftByEndedRun(const std::string& folder, const std::vector<std::string>& records);

// The file `program` runs as, found on $PATH; "" when it is not there.
std::string findOnPath(const std::string& program);
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

// The environment a program is started with, as "NAME=value" strings.
std::vector<std::string> environmentFor(const Environment& environment);
// The null-ended pointers execve takes: valid while `strings` lives
// unchanged.
std::vector<char*> pointersTo(std::vector<std::string>& strings);

// Runs argv (searched on $PATH, never through a shell) with an empty
// standard input and waits for it, its output kept. After `timeoutSeconds`
// (0: none) it is killed. The descriptors in `inherited` stay open in it;
// every other one of this process's is closed on exec as usual.
Ran runAndWait(const std::vector<std::string>& argv, const Environment& environment = {},
               int timeoutSeconds = 0, const std::vector<int>& inherited = {});

// Starts argv in a session of its own, its standard streams on /dev/null
// and its signals as a fresh program has them, and does not wait for it: a
// viewer outlives the program, and a Ctrl+C in its terminal does not reach
// the viewer. A program that is not installed is silently skipped.
void spawnDetached(const std::vector<std::string>& argv);

}  // namespace zarvo::posix
