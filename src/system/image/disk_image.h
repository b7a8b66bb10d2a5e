#pragma once

// What an image file holds and where its FAT volume lies. A raw disk, a
// fixed VHD (a raw disk followed by its footer) and a block device are read
// in place; every other format an emulator makes is told by its content and
// left to QEMU's block layer, which shows its disk as a raw file
// (block_export.h). Everything else is refused with an ImageError that names
// the file and says what was found.

#include <cstdint>
#include <string>

#include "system/image/fat_volume.h"

namespace zarvo::image {

// How the disk in an image file is reached.
struct DiskFormat {
    // The format as a refusal names it: "raw", "fixed VHD", "qcow2",
    // "dynamic VHD", "VDI", "VMDK", "VHDX".
    std::string name;
    // QEMU's driver for the format; empty for a disk read in place.
    std::string driver;
    // For a disk read in place: how many of the file's bytes are the disk.
    std::uint64_t diskBytes = 0;
    // A dynamic VHD whose size is its footer's current size, as 86Box,
    // DOSBox-X and Hyper-V see it, where QEMU would size it by its CHS
    // geometry and leave the end of the disk out.
    bool vhdCurrentSize = false;

    bool exported() const { return !driver.empty(); }
};

// The format of the image file or block device, by its first and last
// bytes, whatever its name.
DiskFormat recogniseDisk(const std::string& path);

struct Volume {
    std::uint64_t offset = 0;  // bytes from the start of the disk
    FatLayout layout;          // its tables counted from the start of the disk
};

// The FAT volume to use on the disk that is the first `diskBytes` of the file
// `path`: partition 0 is the first FAT partition of a partitioned disk, 1-4
// pick a primary one and 5 and on a logical one. `shownName` names the image
// in a refusal.
Volume locateVolume(const std::string& path, std::uint64_t diskBytes, int partition,
                    const std::string& shownName);

}  // namespace zarvo::image
