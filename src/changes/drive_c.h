#pragma once

// Drive C: as Windows 98 lays it out, where the program's changes go.

#include <string_view>

namespace zarvo {

inline constexpr std::string_view kDriveRoot = "C:\\";
inline constexpr std::string_view kWindowsFolder = "C:\\Windows";
// MSDOS.SYS: its [Options] line "Logo=1" has Windows show the boot picture.
inline constexpr std::string_view kMsdosSys = "C:\\Msdos.sys";

}  // namespace zarvo
