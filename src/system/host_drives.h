#pragma once

// How the implementations on a POSIX host lay Windows' drives over it: C:
// is the drive (a folder, or a volume in an image), Z: is the host's "/",
// as in Wine. There is no other drive.

#include <string>
#include <string_view>
#include <vector>

#include "system/windows_path.h"

namespace zarvo::hostdrives {

// A path on C: or Z:; 76 for any other drive.
winpath::Parsed parseOnHost(std::string_view windowsPath);

// The host path of components below "/": "/a/b", and "/" for none.
std::string hostPath(const std::vector<std::string>& parts);

// A host path made absolute against the working folder, with "." and ".."
// resolved lexically.
std::string absolute(const std::string& hostPath);

// The Windows path a host path has: on C: when it lies below `driveRoot`
// (both absolute host paths), else on Z:.
std::string windowsPath(const std::string& hostPath, const std::string& driveRoot);

}  // namespace zarvo::hostdrives
