#pragma once

// The FAT volume's own structures, read and written where mtools cannot:
// its layout from the boot sector, and the end of a cluster chain.
//
// What a killed mtools may leave in the FAT: a file whose directory entry
// was written while the table was not, so that its chain runs into a free
// entry. mdel follows such a chain into entry 0 and wipes the table's media
// mark, and the whole file system is then "corrupt" to fsck.fat and
// ScanDisk. A leftover is removed only once its chain is sound: one that
// ends in a free entry is ended there first, which touches no other file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvo::image {

// The clusters mshowfat lists for a file ("C:/A.BIN <2-148> <0>"), in
// order; a run of one is "<n>".
std::vector<std::uint32_t> chainListed(std::string_view mshowfatOutput);

// Where the FAT volume's tables are.
struct FatLayout {
    int bits = 0;                  // 12, 16 or 32
    std::uint64_t firstTable = 0;  // bytes from the start of the image file
    std::uint64_t tableBytes = 0;
    int tables = 0;
    std::uint32_t clusterBytes = 0;
    std::uint32_t lastCluster = 0;  // the highest cluster number there is
    std::uint64_t volumeBytes = 0;  // the whole file system, as its boot sector says
};

// The layout a boot sector with a FAT BIOS parameter block gives (tables
// counted from the volume's start); nullopt for any other sector. The type
// follows from the cluster count, as the FAT specification counts it.
std::optional<FatLayout> layoutOf(const unsigned char* bootSector);

// Ends a chain at `cluster` in every table, but only where its entry is
// free, so that no file's cluster changes hands; false when it is not free
// or cannot be written.
bool endChainAtFreeEntry(const std::string& imagePath, const FatLayout& layout,
                         std::uint32_t cluster);

}  // namespace zarvo::image
