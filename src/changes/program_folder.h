#pragma once

// The program's own folder on drive C:, and what it keeps there.

#include <string>
#include <string_view>
#include <vector>

namespace zarvo::programfolder {

// C:\Program Files\Zarvo
inline constexpr std::string_view kFolder = "C:\\Program Files\\Zarvo";

// The whole path of `relative` ("ZARVO.HLP", "ico\1.ico") in the folder.
std::string path(std::string_view relative);

// The help file and the About window's pointer.
std::string helpFile();
std::string cursorFile();
// The animated boot pictures that ship with the program.
std::string picturesFolder();
// Copies of icons and wallpapers chosen outside the drive, and wallpapers
// converted for Windows 98.
std::string iconFolder();
std::string wallpaperFolder();
// Screen files made from pictures that are no Windows bitmap.
std::string screenFolder();
// The first originals of what the program changed (kept_originals.h).
std::string backupFolder();
// The copies step "2" staged and step "3" has not installed (leftovers.h).
std::string stagedCopiesFile();

// Every folder the program writes a file in: the drive's root and Windows
// folder, and its own folders.
std::vector<std::string> writtenFolders();

}  // namespace zarvo::programfolder
