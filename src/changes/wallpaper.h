#pragma once

// The desktop wallpaper. Windows 98 keeps it twice: as a registry value,
// and as the Wallpaper line of WIN.INI's [Desktop] section, which older
// programs read. Both always name the same file.

#include <cstdint>
#include <string>
#include <string_view>

#include "system/system.h"

namespace zarvo {

inline constexpr std::uint32_t kDesktopRoot = hkey::CurrentUser;
inline constexpr std::string_view kDesktopKey = "Control Panel\\Desktop";
// The registry value and WIN.INI's key alike.
inline constexpr std::string_view kWallpaperValue = "Wallpaper";
inline constexpr std::string_view kDesktopSection = "Desktop";

// C:\Windows\WIN.INI
std::string winIni();

// Makes `path` the wallpaper ("" for none): the registry value first, then
// WIN.INI's line naming what the registry now names (on a real Windows tree
// that is the copy inside the drive of a file chosen outside it), then the
// desktop shown anew. False, with everything as it was, when the path
// names no file, when a step is refused, or when Windows refuses the
// picture. A drive another program has open throws DriveInUse.
bool setWallpaper(ISystem& system, const std::string& path);

}  // namespace zarvo
