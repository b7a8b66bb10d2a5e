#pragma once

// INI files (WIN.INI and the like) read and written as
// GetPrivateProfileString and WritePrivateProfileString do it, through the
// operations of any system: the file's text in its ANSI code page, names
// compared ignoring case, and every other byte of the file kept.

#include <optional>
#include <string>
#include <string_view>

namespace zarvo {

class ISystem;

// A key's value in a section, as UTF-8; nullopt when the file, the section
// or the key is missing, or when a name has no bytes in the code page (no
// such name can be in the file, which is then not read).
std::optional<std::string> iniValue(ISystem& system, const std::string& path,
                                    std::string_view section, std::string_view key);

// Sets the key, adding the section or the file as needed, or removes it for
// nullopt. Refused with Error 5, as WritePrivateProfileString refuses, for
// text the code page cannot hold, a line end or null character anywhere, a
// ']' in the section, a '=' in the key, an empty section or a blank key; 75
// for a read-only file or a folder; 76 for a missing folder.
void setIniValue(ISystem& system, const std::string& path, std::string_view section,
                 std::string_view key, const std::optional<std::string>& value);

}  // namespace zarvo
