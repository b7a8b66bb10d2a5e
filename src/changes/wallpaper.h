#pragma once

// The desktop wallpaper. Windows 98 keeps it twice: as a registry value,
// and as the Wallpaper line of WIN.INI's [Desktop] section, which older
// programs read. Both always name the same file.

#include <cstdint>
#include <string>
#include <string_view>

#include "changes/pictures.h"
#include "system/system.h"

namespace zarvo {

inline constexpr std::uint32_t kDesktopRoot = hkey::CurrentUser;
inline constexpr std::string_view kDesktopKey = "Control Panel\\Desktop";
// The registry value and WIN.INI's key alike.
inline constexpr std::string_view kWallpaperValue = "Wallpaper";
inline constexpr std::string_view kDesktopSection = "Desktop";

// Whether a registry value, in any spelling REGEDIT would take, is the
// wallpaper's.
bool isWallpaperValue(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName);

// C:\Windows\WIN.INI
std::string winIni();

// Makes `path` the wallpaper ("" for none): the registry value first, then
// WIN.INI's line naming what the registry now names (on a real Windows tree
// that is the copy inside the drive of a file chosen outside it), then the
// desktop shown anew. False, with everything as it was, when the path
// names no file, when a step is refused, or when Windows refuses the
// picture. A drive another program has open throws DriveInUse.
bool setWallpaper(ISystem& system, const std::string& path);

// The largest wallpaper made from a picture, and the colour that shows
// through its transparent parts: Windows 98's own desktop, teal.
inline constexpr int kMostWallpaperWidth = 1600;
inline constexpr int kMostWallpaperHeight = 1200;
inline constexpr std::uint32_t kDesktopColour = 0x008080;

// Makes the picture at `path` the wallpaper, as setWallpaper does. Windows
// 98 shows only bitmaps there: a bitmap is used where it is, and any other
// picture Qt reads (a JPEG photo, a PNG, a WebP, an SVG drawing...) becomes a
// 24-bit bitmap in the program's Wallpaper folder, which the values then
// name; the chosen file stays as it is. False for a file that is no picture,
// or a bitmap cut short, with nothing written.
bool setWallpaperFrom(ISystem& system, IPictures& pictures, const std::string& path);

}  // namespace zarvo
