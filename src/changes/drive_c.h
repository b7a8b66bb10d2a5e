#pragma once

// Drive C: as Windows 98 lays it out, where the program's changes go.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo {

class ISystem;

inline constexpr std::string_view kDriveRoot = "C:\\";
inline constexpr std::string_view kWindowsFolder = "C:\\Windows";
// MSDOS.SYS: its [Options] line "Logo=1" has Windows show the boot picture.
inline constexpr std::string_view kMsdosSys = "C:\\Msdos.sys";

// The components of a path on drive C:, however it was spelled: another
// case, "..", or a Z:\ path that leads into the drive's own folder. nullopt
// when it is elsewhere, or no path at all.
std::optional<std::vector<std::string>> partsOnDriveC(ISystem& system, const std::string& path);

}  // namespace zarvo
