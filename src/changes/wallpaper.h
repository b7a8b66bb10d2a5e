#pragma once

// The desktop wallpaper. Windows 98 keeps it twice: as a registry value,
// and as the Wallpaper line of WIN.INI's [Desktop] section, which older
// programs read. Both always name the same file.

#include <array>
#include <cstdint>
#include <optional>
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
// How the wallpaper is placed, kept beside it in both places: "0" centred
// or "2" stretched over the screen; "1" tiles it whatever the style.
inline constexpr std::string_view kWallpaperStyleValue = "WallpaperStyle";
inline constexpr std::string_view kTileWallpaperValue = "TileWallpaper";
// Every desktop value and WIN.INI line the program may write.
inline constexpr std::array<std::string_view, 3> kDesktopValues = {
    kWallpaperValue, kWallpaperStyleValue, kTileWallpaperValue};

// Whether a registry value, in any spelling REGEDIT would take, is the
// wallpaper's.
bool isWallpaperValue(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName);
// Which of kDesktopValues a registry value is, in any spelling REGEDIT
// would take; nullopt for any other value.
std::optional<std::string_view> desktopValueOf(std::uint32_t rootKey, std::string_view keyPath,
                                               std::string_view valueName);

// How a wallpaper is placed: its style and tile values.
struct WallpaperPlacement {
    std::string_view style;
    std::string_view tile;
};
// Stretched over the whole screen, whatever its resolution.
inline constexpr WallpaperPlacement kStretched{"2", "0"};

// C:\Windows\WIN.INI
std::string winIni();

// Makes `path` the wallpaper ("" for none): the registry value first, then
// WIN.INI's line naming what the registry now names (on a real Windows tree
// that is the copy inside the drive of a file chosen outside it), then the
// desktop shown anew. With a placement, its style and tile values are
// written in both places too; without, they stay as they are. False, with
// everything as it was, when the path names no file, when a step is
// refused, or when Windows refuses the picture. A drive another program has
// open throws DriveInUse.
bool setWallpaper(ISystem& system, const std::string& path,
                  std::optional<WallpaperPlacement> placement = std::nullopt);

// The largest wallpaper made from a picture, and the colour that shows
// through its transparent parts: Windows 98's own desktop, teal.
inline constexpr int kMostWallpaperWidth = 1600;
inline constexpr int kMostWallpaperHeight = 1200;
inline constexpr std::uint32_t kDesktopColour = 0x008080;

// Makes the picture at `path` the wallpaper, as setWallpaper does. Windows
// 98 shows only bitmaps there: a bitmap is used where it is, and any other
// picture Qt reads (a JPEG photo, a PNG, a WebP, an SVG drawing...) becomes a
// 24-bit bitmap in the program's Wallpaper folder, which the values then
// name, stretched over the screen: at most 1600 x 1200, it would otherwise
// show only its middle on a smaller screen. The chosen file stays as it is.
// False for a file that is no picture, or a bitmap cut short, with nothing
// written.
bool setWallpaperFrom(ISystem& system, IPictures& pictures, const std::string& path);

}  // namespace zarvo
