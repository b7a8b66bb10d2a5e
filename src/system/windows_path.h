#pragma once

// Windows paths taken apart as Windows 98 takes them, for a system layer that
// keeps its files on another host: the drive letter, the components with
// "." and ".." resolved, either separator, and names that match ignoring
// case as on a FAT drive. Text is UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace zarvo::winpath {

struct Parsed {
    char drive = 'C';  // upper case
    std::vector<std::string> parts;
};

// "C:\a\b", "c:/a/b" and "a\b" (which is on `defaultDrive`) alike. A
// network path (\\server\share) is 76: there is no network; a null
// character is 52.
Parsed parse(std::string_view path, char defaultDrive = 'C');

// The components between `separator`s, dropping empty ones and "." and
// resolving ".." lexically; ".." at the top stays at the top, so that a
// path never climbs above its root. Serves host paths with '/' too.
std::vector<std::string> components(std::string_view path, char separator);

// A name folded for comparing as FAT long names compare: Latin, Latin-1 and
// Cyrillic letters in lower case; bytes that are not UTF-8 stay as they are.
std::string foldedName(std::string_view name);

bool sameName(std::string_view a, std::string_view b);

}  // namespace zarvo::winpath
