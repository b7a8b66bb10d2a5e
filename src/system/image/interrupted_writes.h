#pragma once

// How a whole-file write on the volume survives being cut short, and how
// the next session clears up after one that was.
//
// A write goes to a temporary file in the destination folder, named after
// its number ("ZRV00042.TMP"), which mren then gives the final name. While
// mren swaps the names of a replacement, the temporary file is the only
// copy of the file it replaces, so a record of the same number
// ("ZRV00042.ZRJ") saying what it becomes is written beside it first, and
// removed once the swap is done. A new file needs no record: its
// temporary file is always removed.
//
// At the next start, in each folder the program writes: a record whose
// temporary file is there and whose final name is free is a swap a kill
// interrupted after the old file went, and is finished; every other record
// and temporary file is a leftover, to be removed. A record cut short by
// the kill names nothing: its temporary file had not been started, and the
// old file is untouched.
//
// These are the names, the records and the decisions; the image system
// runs the mtools programs that carry them out.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/image/mdir_listing.h"

namespace zarvo::image {

// The temporary file numbered `number` that becomes `finalName`. It takes
// exactly as many directory slots as mtools gives `finalName` at the most,
// so that the rename that ends the write never needs more than the file
// already has (fat_names.h).
std::string temporaryName(const std::string& finalName, unsigned number);

// The record of the temporary file numbered `number`.
std::string recordName(unsigned number);

// What a record holds for a temporary file that becomes `finalName`.
std::string recordText(std::string_view finalName);

// The first number `next` gives for which neither the temporary file that
// becomes `finalName` nor its record is among `entries`.
unsigned freeNumber(const std::vector<ListedEntry>& entries, const std::string& finalName,
                    const std::function<unsigned()>& next);

// What the next session does in one folder.
struct Recovery {
    // A temporary file to be given its final name.
    struct Finish {
        std::string temporary;
        std::string finalName;
    };
    std::vector<Finish> finish;
    // Records and temporary files to be removed, by name.
    std::vector<std::string> leftovers;
};

// For a folder of `entries`; `readRecord` gives a record's content by its
// name, nullopt when it cannot be read.
Recovery planRecovery(
    const std::vector<ListedEntry>& entries,
    const std::function<std::optional<std::string>(const std::string& record)>& readRecord);

}  // namespace zarvo::image
