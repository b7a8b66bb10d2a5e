#pragma once

// The shell's standard icons. Each of the forty has a string value in one
// registry key, named by its slot number ("3"), holding the icon file's
// path; Explorer reads them at start-up, or its icon cache when that file is
// there, which is why the cache goes before a restart.

#include <cstdint>
#include <string>
#include <string_view>

#include "changes/pictures.h"
#include "system/system.h"

namespace zarvo {

inline constexpr std::uint32_t kShellIconsRoot = hkey::LocalMachine;
inline constexpr std::string_view kShellIconsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

// Whether a registry key, in any spelling REGEDIT would take, is the one
// the slots' values are in.
bool isShellIconsKey(std::uint32_t rootKey, std::string_view keyPath);

// C:\Windows\ShellIconCache
std::string iconCache();

// The path a slot's value should name for the file at `path`: the file
// itself when it is an icon Windows 98 shows as it is, a Windows bitmap, or
// no picture the pictures can read; else (an icon Windows 98 cannot show, a
// PNG, a JPEG, a WebP, an SVG...) a Windows 98 icon made from it, in the
// program folder's icon folder under the file's name (placeCopy's rules).
// Failures to write that icon throw zarvo::Error.
std::string iconToStore(ISystem& system, IPictures& pictures, const std::string& path);

}  // namespace zarvo
