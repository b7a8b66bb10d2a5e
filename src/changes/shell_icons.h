#pragma once

// The shell's standard icons. Each of the forty has a string value in one
// registry key, named by its slot number ("3"), holding the icon file's
// path; Explorer reads them at start-up, or its icon cache when that file is
// there, which is why the cache goes before a restart.

#include <cstdint>
#include <string>
#include <string_view>

#include "system/system.h"

namespace zarvo {

inline constexpr std::uint32_t kShellIconsRoot = hkey::LocalMachine;
inline constexpr std::string_view kShellIconsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";

// C:\Windows\ShellIconCache
std::string iconCache();

}  // namespace zarvo
