#pragma once

// What mdir prints, read back: the bare listing by which a folder's entries
// are known, and the long one that gives a file's short name, size and long
// name. The lines and paths of every mtools listing are read alike.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::image {

// The lines of an mtools program's output, without their line ends; empty
// ones left out.
std::vector<std::string_view> linesOf(std::string_view output);

// The last component of a path mtools printed ("C:/Windows/Logo.sys").
std::string lastName(std::string_view line);

// An entry of a folder on the volume: its name as mdir lists it, the long
// one where there is one. The attribute bits are mattrib's to tell; the
// listing leaves them 0.
struct ListedEntry {
    std::string name;
    bool folder = false;
    unsigned attributes = 0;
};

// The entries of a folder from `mdir -a -b`, one path a line, a folder's
// ending in '/'; "." and ".." left out.
std::vector<ListedEntry> bareListing(std::string_view output);

// One file's line of mdir's long listing (mdir -a): the short name in its 8
// and 3 columns, the size or <DIR>, the date and time, then the long name
// where there is one.
struct ListedFile {
    std::string shortName;
    std::optional<std::uint64_t> size;  // none for a folder
    std::string longName;               // empty where there is none
};

// The lines of `mdir -a` read as files, in order.
std::vector<ListedFile> longListing(std::string_view output);

}  // namespace zarvo::image
