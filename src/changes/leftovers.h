#pragma once

// A run of the program that ends before it is done (killed, a crash, a
// power cut, or simply closed between two steps) may leave things of its own
// on the drive. The next run clears them up as it starts:
// - the temporary files of writes that were cut short, in every folder the
//   program writes (ISystem::recoverInterruptedWrites);
// - the copies of pictures that step "2" staged in C:\ and step "3" never
//   installed. Each is noted in the program folder (STAGED.INI,
//   staged_ini.h) before it is made, with the run that made it and what it
//   holds, so that only such a copy is removed, and only once its run has
//   ended: a file of the user's, even one under the same name, is never
//   touched.

#include <string>
#include <string_view>

namespace zarvo {

class ISystem;

// Notes that this run is about to stage a copy holding `bytes` at `path`.
void noteStagedCopy(ISystem& system, const std::string& path, std::string_view bytes);
// The copy at `path` is installed or gone: there is nothing left to remove.
void forgetStagedCopy(ISystem& system, const std::string& path);

// Clears up what ended runs left on the drive. A folder or a copy that
// cannot be cleared up stays as it is, and the rest go on.
void clearLeftovers(ISystem& system);

}  // namespace zarvo
