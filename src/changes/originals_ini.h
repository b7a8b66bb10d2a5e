#pragma once

// ORIGINALS.INI in the program folder's Backup folder: what the program
// kept of Windows' own before its first change, one record an item.
//   [Backup]   Items=<how many records>
//   [Item<n>]  Kind=File|Value|IniLine, where it is (Path; Root, Key and
//              Name; Path, Section and Key), Original=Kept|Absent, and what
//              was kept: Copy and Attributes for a file, Data for the rest
// Text in the drive's code page; a name or data that INI readers would
// change is written with %XX escapes. Reading it and writing it happen here
// alone.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zarvo {

class ISystem;
struct ScreenFile;

// One kept original.
struct KeptItem {
    enum class Kind { File, Value, IniLine };
    Kind kind = Kind::File;
    std::string path;         // File: the screen file. IniLine: the INI file
    std::uint32_t root = 0;   // Value: the root key
    std::string key;          // Value: the key path. IniLine: the section
    std::string name;         // Value: the value name. IniLine: the key
    bool existed = false;     // false: it was not there before the program
    std::string data;         // Value, IniLine: what it held
    unsigned attributes = 0;  // File
};

namespace originalsini {

// Where the file is on the drive.
std::string path();

// The screen file at a drive path's parts; nullptr when it is none. The
// only files the backup keeps, each as a copy of the same name.
const ScreenFile* screenFileAt(const std::vector<std::string>& parts);

// The file as read.
struct Originals {
    int count = 0;
    // The records [Item1] to [Item<count>]; nullopt for a damaged one.
    std::vector<std::optional<KeptItem>> items;
};

// The file on the drive; no records when there is none. Throws 75, naming
// the file, when its item count is damaged, so that a damaged backup is
// never written over.
Originals read(ISystem& system);

// Adds `item` to the file on the drive as record `number`, which becomes
// the count. Records are only ever added: the text already there (or a new
// file's comment) stays byte for byte around the new one, a damaged record
// too, for a restore to name. Throws 52, with nothing written, when a name
// or data has no spelling in the drive's code page.
void addRecord(ISystem& system, int number, const KeptItem& item);

}  // namespace originalsini
}  // namespace zarvo
