#pragma once

// How many directory entries a name takes in a FAT folder: one for a bare
// 8.3 name, and one more for every 13 characters of a long name written in
// front of it.
//
// Why the count matters: mren renames within a folder by taking the old
// entry's own slots as free for the new name, and mtools' directory cache
// then fails an assertion ("freeDirCacheRange: Assertion `entry->beginSlot
// == beginSlot'") when the new name needs more slots than the old entry has
// and the deleted entries after it run up to the end of the folder: the
// new name is written from the first deleted slot, and wiping the old entry
// joins its slots to that run. A name is therefore only ever given by mren
// to an entry that already has as many slots as the name can take.

#include <string>
#include <string_view>

namespace zarvo::image {

struct EntrySlots {
    // What an entry listed under this name has at the least: a lower-case
    // 8.3 name is bare when mtools wrote it and has a long name when
    // Windows 98 did.
    unsigned least = 1;
    // What mtools gives the name at the most when it writes it.
    unsigned most = 1;
};

// For a name as mdir lists it or as the program writes it (UTF-8).
EntrySlots entrySlots(std::string_view name);

// Whether mren may give `to` to the entry listed as `from` in its own
// folder: `to` never takes more slots than the entry has.
bool renamesInPlace(std::string_view from, std::string_view to);

// The case marks mtools keeps for a bare 8.3 name: whether its base and its
// extension are in lower case ("logo.SYS": the base). A rename keeps the
// old entry's marks, whatever case the new name is written in.
struct LowerCase {
    bool base = false;
    bool extension = false;
};
LowerCase lowerCaseOf(std::string_view name);

}  // namespace zarvo::image
