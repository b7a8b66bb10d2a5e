#pragma once

// Where the FAT volume lies in an image file or block device: a disk with an
// MBR partition table, a fixed VHD (a raw disk followed by its footer) or a
// bare FAT volume. Everything else is refused with an ImageError that names
// the file and says what was found.

#include <cstdint>
#include <string>

#include "system/image/fat_volume.h"

namespace zarvo::image {

struct Volume {
    std::uint64_t offset = 0;  // bytes from the start of the file
    FatLayout layout;          // its tables counted from the start of the file
};

// The FAT volume to use: partition 0 is the first FAT partition of a
// partitioned disk, 1-4 pick a primary one and 5 and on a logical one.
Volume locateVolume(const std::string& path, int partition);

}  // namespace zarvo::image
